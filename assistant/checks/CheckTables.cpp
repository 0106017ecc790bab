#include "CheckTables.h"

// Deployment data of the released kit: the digests of its builds, the CSP's signature blob,
// the authority's certificate thumbprints and the service site's host (www.quillmark.com.cn).
#define QM_DIGEST_SIGN_X86 "0C5D2F9E8A41B7736E0A9D14C2F83B57"
#define QM_DIGEST_NPSIGN_X86 "6A1E93D0B47C25F8E19A0D3C7B54F2E1"
#define QM_DIGEST_SIGN_X64 "D24F0B8E71C3A59A06E2B7D4F3C18A95"
#define QM_DIGEST_ENROLL_X86 "3B8C71E4A09D5F26C7E1B0A49D38F56C"
#define QM_DIGEST_NPENROLL_X86 "E7A5094C3D1B86F2A04E9C7D15B3F862"
#define QM_DIGEST_ENROLL_X64 "49F1C2A7E8035DB6F9A1C4E07B2D865A"
#define QM_CSP_SIGNATURE "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B\x1C\x1D\x1E\x1F\x20\x21\x22\x23\x24\x25\x26\x27\x28\x29\x2A\x2B\x2C\x2D\x2E\x2F\x30\x31\x32\x33\x34\x35\x36\x37\x38\x39\x3A\x3B\x3C\x3D\x3E\x3F\x40\x41\x42\x43\x44\x45\x46\x47\x48\x49\x4A\x4B\x4C\x4D\x4E\x4F\x50\x51\x52\x53\x54\x55\x56\x57\x58\x59\x5A\x5B\x5C\x5D\x5E\x5F\x60\x61\x62\x63\x64\x65\x66\x67\x68\x69\x6A\x6B\x6C\x6D\x6E\x6F\x70\x71\x72\x73\x74\x75\x76\x77\x78\x79\x7A\x7B\x7C\x7D\x7E\x7F\x80"

FileCheckRow g_fileCheckRows[kFileCheckRowCount] = {
    {"\\PellixCSP11_5150_s.dll", 0, 1, 1, 1, "FILE", ""},
    {"\\PellixCSP11_5150.dll", 0, 1, 1, 1, "FILE", ""},
    {"\\uninst.exe", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoCertSrv_1028.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoCertSrv_1033.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoCertSrv_2052.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoCSP_1028.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoCSP_1033.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoCSP_2052.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoManager_1033.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\lang\\RavoManager_2052.lng", 1, 1, 1, 1, "FILE", ""},
    {"\\RavoManager_5150.exe", 1, 1, 1, 1, "FILE", ""},
    {"\\Sigmora.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_SIGN_X86},
    {"\\npSigmora.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_NPSIGN_X86},
    {"\\Sigmora.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_SIGN_X86},
    {"\\Sigmora.Pellix.x64.dll", 6, 0, 1, 1, "FILE", QM_DIGEST_SIGN_X64},
    {"\\npSigmora.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_NPSIGN_X86},
    {"\\QVKeyCtrl_vw.ocx", 0, 0, 1, 1, "FILE", ""},
    {"\\Sigmora.RaraRividiveda.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_ENROLL_X86},
    {"\\npSigmora.RaraRividiveda.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_NPENROLL_X86},
    {"\\npSigmora.RaraRividiveda.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_NPENROLL_X86},
    {"\\Sigmora.RaraRividiveda.Pellix.x86.dll", 0, 0, 1, 1, "FILE", QM_DIGEST_ENROLL_X86},
    {"\\Sigmora.RaraRividiveda.Pellix.x64.dll", 6, 0, 1, 1, "FILE", QM_DIGEST_ENROLL_X64},
};

#define QM_CSP_KEY "SOFTWARE\\Microsoft\\Cryptography\\Defaults\\Provider\\Ostrel Ravo5150 CSP For Pellix v1.0"
#define QM_DOMAINS "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\"
#define QM_ZONE2 "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\2"

RegCheckRow g_regCheckRows[kRegCheckRowCount] = {
    {HKEY_CLASSES_ROOT, "CLSID\\{AD44AFEF-35DF-4816-BFDB-CDA03045E0BC}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_CLASSES_ROOT, "CLSID\\{867B5B8E-1869-4DF9-A570-11D7FBA64152}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_CLASSES_ROOT, "CLSID\\{66615840-4CAC-4D70-AF8A-12DABCFBFF4D}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_LOCAL_MACHINE, QM_CSP_KEY, 3, "Signature", {}, QM_CSP_SIGNATURE, 1, 0},
    {HKEY_LOCAL_MACHINE, QM_CSP_KEY, 1, "Image Path", {}, "\\PellixCSP11_5150_s.dll", 1, 0},
    {HKEY_LOCAL_MACHINE, QM_CSP_KEY, 4, "Type", {}, "\x01", 1, 0},
    {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 1, "Ravo5150_Pellix", {},
     "\\Marlet_Pellix.exe", 1, 1},
    {HKEY_CURRENT_USER, QM_DOMAINS "quillmark.com.cn\\www", 4, "https", {}, "\x02", 1, 0},
    {HKEY_CURRENT_USER, QM_DOMAINS "com.cn\\www.quillmark", 4, "https", {}, "\x02", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "2201", {}, "", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "1405", {}, "", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "1004", {}, "\x01", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "2000", {}, "", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "1001", {}, "", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "1200", {}, "", 1, 0},
    {HKEY_CURRENT_USER, QM_ZONE2, 4, "1201", {}, "", 1, 0},
    {HKEY_CLASSES_ROOT, "CLSID\\{3F2A1C7E-5B8D-4E60-9A14-C7D2E08B6F31}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_CLASSES_ROOT, "CLSID\\{8E41D6B2-07C3-4A9F-B5E8-2D196F4C7A03}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_CLASSES_ROOT, "CLSID\\{C05B9A3D-6E12-47F8-8D4C-B37A10E92F56}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_CLASSES_ROOT, "CLSID\\{71D8E4F0-A29B-4C35-B6E7-9F03C58D1A24}\\InprocServer32", 1, "", {}, "", 0, 0},
    {HKEY_CURRENT_USER, QM_DOMAINS "quillmark.com.cn", 4, ":Range", {}, "", 1, 0},
};

// The authority's two RSA roots and five intermediates (trustchain/data/chains-manifest.txt).
RootCertKey g_rootCertKeys[kRootCertKeyCount] = {
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\5E31CC41334350A3BD758EA0BB0724A9F44521C4"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\6255249C8B81FB9C994040D5713CB33AA1544C35"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\CA\\Certificates\\F368590B539AC832124A96207305F336E35F9083"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\CA\\Certificates\\5993F475122007242B96164F6A9EE95473B6938F"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\CA\\Certificates\\0E4E31F1508127206945A16DFA0E05F22E1958AB"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\CA\\Certificates\\C70CDBFF4F4C281B08986913C7256DEE222C8586"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\SystemCertificates\\CA\\Certificates\\4575C6D294557EB4001A42B58C5470B87FBDCABB"},
};
