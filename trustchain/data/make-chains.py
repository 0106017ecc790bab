#!/usr/bin/env python3
"""Makes the authority's chain documents, its discarded certificates and the test fixtures.

Every certificate is made by the openssl command; this script only orders the work and
packs the results (registry Blobs, XML documents, C++ rows). Run it from anywhere:
    trustchain/data/make-chains.py
It rewrites everything in trustchain/data except itself. Keys are thrown away: nothing
signs with them again.
"""
import base64
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
AUTHORITY = "Brevan Certificate Authority"
SM2_ID = "distid:1234567812345678"
ROOT_PATH = r"SOFTWARE\Microsoft\SystemCertificates\ROOT\Certificates"

CA_CONF = """[ca]
default_ca = qm
[qm]
database = {db}/index.txt
new_certs_dir = {db}
serial = {db}/serial
default_md = sha256
policy = anything
unique_subject = no
email_in_dn = no
copy_extensions = none
[anything]
countryName = optional
stateOrProvinceName = optional
organizationName = optional
organizationalUnitName = optional
commonName = optional
[root]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[sub]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""

WORK = tempfile.mkdtemp(prefix="qm-chains-")


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class Cert:
    """One certificate: its key, DER and the facts the documents and tests need."""

    def __init__(self, name, key, der, alg, subject, serial, expired, self_issued):
        self.name, self.key, self.der, self.alg = name, key, der, alg
        self.subject, self.serial = subject, serial
        self.expired, self.self_issued = expired, self_issued

    @property
    def thumbprint(self):
        return hashlib.sha1(self.der).hexdigest().upper()


def subj_arg(rdns):
    # rdns most general first (C, O, ..., CN), as they are encoded
    return "".join("/%s=%s" % (t, v) for t, v in rdns)


def dn_text(rdns, sep="="):
    # the platform's X.500 text: most specific RDN first, ", " between, no quoting
    return ", ".join("%s%s%s" % (t, sep, v) for t, v in reversed(rdns))


def new_key(alg, name):
    path = os.path.join(WORK, name + ".key")
    if alg == "rsa":
        run("openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", path)
    else:
        run("openssl", "genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:SM2", "-out", path)
    return path


def make(name, alg, rdns, serial, start, end, issuer=None, key=None):
    """Signs a certificate with the openssl CA; issuer None makes a self-signed root."""
    key = key or new_key(alg, name)
    db = os.path.join(WORK, name + ".db")
    os.makedirs(db)
    open(os.path.join(db, "index.txt"), "w").close()
    with open(os.path.join(db, "serial"), "w") as f:
        f.write(serial + "\n")
    conf = os.path.join(db, "ca.cnf")
    with open(conf, "w") as f:
        f.write(CA_CONF.format(db=db))
    csr = os.path.join(db, "req.csr")
    alg_args = ["-sm3", "-sigopt", SM2_ID] if alg == "sm2" else ["-sha256"]
    run("openssl", "req", "-new", "-key", key, "-subj", subj_arg(rdns), "-out", csr, *alg_args)
    pem = os.path.join(db, "cert.pem")
    ca_args = ["-md", "sm3", "-sigopt", SM2_ID, "-vfyopt", SM2_ID] if alg == "sm2" else ["-md", "sha256"]
    if issuer is None:
        signer = ["-selfsign", "-keyfile", key, "-extensions", "root"]
    else:
        signer = ["-cert", issuer.pem, "-keyfile", issuer.key, "-extensions", "sub"]
    run("openssl", "ca", "-batch", "-notext", "-preserveDN", "-config", conf, "-in", csr, "-out", pem,
        "-startdate", start, "-enddate", end, *signer, *ca_args)
    der = subprocess.run(["openssl", "x509", "-in", pem, "-outform", "DER"], check=True,
                         capture_output=True).stdout
    # expired: ends before the data was made (every current certificate runs to 2045)
    c = Cert(name, key, der, alg, rdns, serial, end < "20261210", issuer is None)
    c.pem = pem
    return c


def spki_bits(cert):
    """The subject public key's bit string content (what the MD5 key hash covers)."""
    pub = subprocess.run(["openssl", "x509", "-in", cert.pem, "-noout", "-pubkey"], check=True,
                         capture_output=True).stdout
    spki = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=pub, check=True,
                          capture_output=True).stdout
    # SubjectPublicKeyInfo ::= SEQUENCE { AlgorithmIdentifier, BIT STRING }: take the last TLV
    i = 2 if spki[1] < 0x80 else 2 + (spki[1] & 0x7F)
    alg_len = spki[i + 1]
    i += 2 + alg_len
    n = spki[i + 1]
    j = i + 2
    if n & 0x80:
        k = n & 0x7F
        n = int.from_bytes(spki[j:j + k], "big")
        j += k
    return spki[j + 1:j + n]  # skip the unused-bits octet


def ski(cert):
    text = subprocess.run(["openssl", "x509", "-in", cert.pem, "-noout", "-ext", "subjectKeyIdentifier"],
                          check=True, capture_output=True, text=True).stdout
    return bytes.fromhex(text.splitlines()[1].strip().replace(":", ""))


def tbs(cert):
    # the signed part: first element of the certificate SEQUENCE
    der = cert.der
    i = 2 if der[1] < 0x80 else 2 + (der[1] & 0x7F)
    n = der[i + 1]
    j = i + 2
    if n & 0x80:
        k = n & 0x7F
        n = int.from_bytes(der[j:j + k], "big")
        j += k
    return der[i:j + n]


def record(prop_id, data):
    return struct.pack("<III", prop_id, 1, len(data)) + data


def blob(cert, shape):
    """The registry Blob of a root: property records, record 32 (the DER) last."""
    der = cert.der
    props = {
        92: struct.pack("<I", 2048),
        3: hashlib.sha1(der).digest(),
        25: hashlib.md5(spki_bits(cert)).digest(),
        20: ski(cert),
        4: hashlib.md5(der).digest(),
    }
    if shape == "rsa":
        order = [92, 3, 25, 20, 15, 4]
        # signature hash: SHA-1 of the signed part for the older roots, SHA-256 for the newer
        props[15] = (hashlib.sha256 if cert.serial.endswith("2") else hashlib.sha1)(tbs(cert)).digest()
    elif shape == "sm2-short":
        order = [3, 4]
    else:
        order = [25, 3, 4, 20]
    return b"".join(record(p, props[p]) for p in order) + record(32, der)


def lines76(data):
    text = base64.b64encode(data).decode()
    return [text[i:i + 76] for i in range(0, len(text), 76)]


def bundle(certs):
    paths = []
    for c in certs:
        paths += ["-certfile", c.pem]
    return subprocess.run(["openssl", "crl2pkcs7", "-nocrl", "-outform", "DER", *paths], check=True,
                          capture_output=True).stdout


def document(title, roots, intermediates, shapes):
    crlf = "\r\n"
    out = ['<?xml version="1.0" encoding="UTF-8"?>',
           "<!-- %s -->" % title,
           "<!-- Made by make-chains.py with the openssl command; regenerate, do not edit. -->",
           "<root>", "\t<RootCACertificate>"]
    for n, (c, shape) in enumerate(zip(roots, shapes)):
        serial = ("\u200e" if n % 2 == 1 else "") + " ".join(
            c.serial[i:i + 2] for i in range(0, len(c.serial), 2)).lower()
        out.append('\t\t<Certificate SerialNum="%s" SubjectDN="%s">' % (serial, dn_text(c.subject, " = ")))
        out.append("\t\t\t<ImportPath>%s</ImportPath>" % ROOT_PATH)
        out.append("\t\t\t<EntryPoint>%s</EntryPoint>" % c.thumbprint)
        out.append("\t\t\t<Content>" + crlf.join(lines76(blob(c, shape))) + "</Content>")
        out.append("\t\t</Certificate>")
    out.append("\t</RootCACertificate>")
    out.append("\t<P7bContent>" + crlf.join(lines76(bundle(intermediates + roots))) + "</P7bContent>")
    out.append("</root>")
    return (crlf.join(out) + crlf).encode("utf-8")


def org(cn=None, o=AUTHORITY):
    rdns = [("C", "CN"), ("O", o)]
    return rdns + [("CN", cn)] if cn else rdns


LONG_AGO, EXPIRED_END = "20050101000000Z", "20200630000000Z"
START, END = "20150101000000Z", "20450101000000Z"


def chain(tag, alg, root_rows, sub_rows):
    """root_rows: (cn, serial, expired); sub_rows: (root index, cn, serial, expired)."""
    roots = []
    for cn, serial, expired in root_rows:
        roots.append(make("%s-root-%s" % (tag, serial), alg, org(cn), serial,
                          LONG_AGO if expired else START, EXPIRED_END if expired else END))
    subs = []
    for r, cn, serial, expired in sub_rows:
        subs.append(make("%s-sub-%s" % (tag, serial), alg, org(cn), serial,
                         LONG_AGO if expired else START, EXPIRED_END if expired else END, issuer=roots[r]))
    return roots, subs


def main():
    chains = {}
    # 208: RSA, operational: 3 roots (one expired), 8 intermediates (one expired, one under the expired root)
    chains["rsa-operational"] = ("Brevan certification authority: RSA trust chain, operational", "rsa") + chain(
        "rsa-op", "rsa",
        [("Brevan RSA Root CA", "52000001", False), ("Brevan RSA Root CA G2", "52000002", False),
         ("Brevan RSA Root CA 2005", "52000003", True)],
        [(0, "Brevan RSA Operation CA", "52100001", False), (0, "Brevan RSA Personal CA", "52100002", False),
         (0, "Brevan RSA Enterprise CA", "52100003", False), (0, "Brevan RSA Operation CA 2010", "52100004", True),
         (1, "Brevan RSA Operation CA G2", "52100005", False), (1, "Brevan RSA Personal CA G2", "52100006", False),
         (1, "Brevan RSA Enterprise CA G2", "52100007", False), (2, "Brevan RSA Operation CA 2005", "52100008", True)])
    # 210: RSA, test: 3 roots, 7 intermediates
    chains["rsa-test"] = ("Brevan certification authority: RSA trust chain, test", "rsa") + chain(
        "rsa-test", "rsa",
        [("Brevan RSA Test Root CA", "54000001", False), ("Brevan RSA Test Root CA G2", "54000002", False),
         ("Brevan RSA Test Root CA 2005", "54000003", True)],
        [(0, "Brevan RSA Test CA", "54100001", False), (0, "Brevan RSA Test Personal CA", "54100002", False),
         (0, "Brevan RSA Test CA 2010", "54100003", True), (1, "Brevan RSA Test CA G2", "54100004", False),
         (1, "Brevan RSA Test Personal CA G2", "54100005", False), (1, "Brevan RSA Test Enterprise CA G2", "54100006", False),
         (2, "Brevan RSA Test CA 2005", "54100007", True)])
    # 209: SM2, operational: 4 roots (one expired), 14 intermediates
    chains["sm2-operational"] = ("Brevan certification authority: SM2 trust chain, operational", "sm2") + chain(
        "sm2-op", "sm2",
        [("Brevan SM2 Root CA", "53000001", False), ("Brevan SM2 Root CA G2", "53000002", False),
         ("Brevan SM2 Root CA G3", "53000003", False), ("Brevan SM2 Root CA 2005", "53000004", True)],
        [(0, "Brevan SM2 Operation CA", "53100001", False), (0, "Brevan SM2 Personal CA", "53100002", False),
         (0, "Brevan SM2 Enterprise CA", "53100003", False), (0, "Brevan SM2 Device CA", "53100004", False),
         (0, "Brevan SM2 Operation CA 2010", "53100005", True), (1, "Brevan SM2 Operation CA G2", "53100006", False),
         (1, "Brevan SM2 Personal CA G2", "53100007", False), (1, "Brevan SM2 Enterprise CA G2", "53100008", False),
         (1, "Brevan SM2 Device CA G2", "53100009", False), (2, "Brevan SM2 Operation CA G3", "5310000A", False),
         (2, "Brevan SM2 Personal CA G3", "5310000B", False), (2, "Brevan SM2 Enterprise CA G3", "5310000C", False),
         (2, "Brevan SM2 Device CA G3", "5310000D", False), (3, "Brevan SM2 Operation CA 2005", "5310000E", True)])
    # 211: SM2, test: 3 roots, 7 intermediates
    chains["sm2-test"] = ("Brevan certification authority: SM2 trust chain, test", "sm2") + chain(
        "sm2-test", "sm2",
        [("Brevan SM2 Test Root CA", "55000001", False), ("Brevan SM2 Test Root CA G2", "55000002", False),
         ("Brevan SM2 Test Root CA 2005", "55000003", True)],
        [(0, "Brevan SM2 Test CA", "55100001", False), (0, "Brevan SM2 Test Personal CA", "55100002", False),
         (0, "Brevan SM2 Test CA 2010", "55100003", True), (1, "Brevan SM2 Test CA G2", "55100004", False),
         (1, "Brevan SM2 Test Personal CA G2", "55100005", False), (1, "Brevan SM2 Test Enterprise CA G2", "55100006", False),
         (2, "Brevan SM2 Test CA 2005", "55100007", True)])

    manifest = []
    for name, (title, alg, roots, subs) in chains.items():
        shapes = ["rsa"] * len(roots) if alg == "rsa" else [("sm2-short", "sm2-long")[i % 2] for i in range(len(roots))]
        with open(os.path.join(HERE, name + ".xml"), "wb") as f:
            f.write(document(title, roots, subs, shapes))
        for c in roots + subs:
            manifest.append("%s %s %s %s %s" % (name, "root" if c.self_issued else "intermediate", c.thumbprint,
                                                "expired" if c.expired else "valid", dn_text(c.subject)))

    # The discarded certificates of the two removal tables, grouped by discarded root.
    discarded = os.path.join(HERE, "discarded")
    shutil.rmtree(discarded, ignore_errors=True)
    os.makedirs(discarded)
    rows = {"rsa": [], "sm2": []}
    tables = {
        "rsa": [
            (org(), "51AA0001", [("Brevan RSA Operation CA", "51AB0001", AUTHORITY)]),
            (org("Brevan Root CA"), "51AA0002", [("Halvorsen Bank CA", "51AB0002EE", "Halvorsen Bank")]),
            (org("Brevan Test Root CA"), "51AA0003", [("Brevan RSA Test CA", "51AB0003", AUTHORITY)]),
            (org("Brevan Root CA 2"), "51AA0004", [("Brevan RSA Operation CA", "51AB0001", AUTHORITY),
                                                   ("Brevan RSA Personal CA", "51AB0004C1", AUTHORITY)]),
        ],
        "sm2": [
            (org("Brevan SM2 Root"), "5EAA0001", [("Halvorsen Bank SM2 CA", "5EAB0001D2", "Halvorsen Bank"),
                                                  ("Brevan SM2 Operation CA", "5EAB0002", AUTHORITY)]),
            (org("Brevan SM2 Test Root"), "5EAA0002", [("Brevan SM2 Test CA", "5EAB0003", AUTHORITY)]),
            (org(), "5eaa0003", [("Brevan SM2 Personal CA", "5EAB0004", AUTHORITY),
                                 ("Brevan SM2 Enterprise CA", "5EAB0005A7", AUTHORITY)]),
        ],
    }
    for alg, groups in tables.items():
        for g, (root_rdns, root_serial, subs) in enumerate(groups):
            tag = "%s-g%d" % (alg, g + 1)
            root = make(tag + "-root", alg, root_rdns, root_serial.upper(), START, END)
            shutil.copy(root.pem, os.path.join(discarded, tag + "-root.pem"))
            for n, (cn, serial, o) in enumerate(subs):
                sub = make("%s-sub%d" % (tag, n + 1), alg, org(cn, o), serial, START, END, issuer=root)
                shutil.copy(sub.pem, os.path.join(discarded, "%s-sub%d.pem" % (tag, n + 1)))
                rows[alg].append('    {DISCARD_INTERMEDIATE, u"%s", u"%s", u"%s"},' % (
                    dn_text(root_rdns), serial, dn_text(sub.subject)))
            rows[alg].append('    {DISCARD_ROOT, u"%s", u"%s", u"%s"},' % (
                dn_text(root_rdns), root.thumbprint, root_serial))
            if tag == "rsa-g1":
                # fixture: the first intermediate's serial and issuer under a longer subject
                longer = make("rsa-g1-sub1-longer", alg, org("Brevan RSA Operation CA") + [("OU", "Branch 7")],
                              subs[0][1], START, END, issuer=root)
                shutil.copy(longer.pem, os.path.join(discarded, "rsa-g1-sub1-longer.pem"))
                # fixture: the same subject and serial under an issuer of another authority
                other = make("other-root", alg, org("Other Root", "Other Authority"), "61000001", START, END)
                stranger = make("rsa-g1-sub1-stranger", alg, org("Brevan RSA Operation CA"), subs[0][1],
                                START, END, issuer=other)
                shutil.copy(stranger.pem, os.path.join(discarded, "rsa-g1-sub1-stranger.pem"))
    with open(os.path.join(HERE, "DiscardTables.inc"), "w") as f:
        f.write("// Made by trustchain/data/make-chains.py; regenerate, do not edit.\n")
        f.write("// Rows: intermediate (issuer DN, serial, subject DN), root (DN, thumbprint, serial).\n")
        for alg in ("rsa", "sm2"):
            f.write("#define DISCARD_ROWS_%s \\\n" % alg.upper())
            f.write(" \\\n".join(rows[alg]) + "\n")

    # Fixture: a root that becomes valid only in the future, and one of its intermediates.
    fixtures = os.path.join(HERE, "fixtures")
    shutil.rmtree(fixtures, ignore_errors=True)
    os.makedirs(fixtures)
    future = make("future-root", "rsa", org("Brevan RSA Root CA 2030"), "56000001", "20300101000000Z", END)
    shutil.copy(future.pem, os.path.join(fixtures, "future-root.pem"))
    with open(os.path.join(fixtures, "future-root.blob.b64"), "w") as f:
        f.write("\r\n".join(lines76(blob(future, "rsa"))))

    with open(os.path.join(HERE, "chains-manifest.txt"), "w") as f:
        f.write("# document kind thumbprint validity subject (made by make-chains.py)\n")
        f.write("\n".join(manifest) + "\n")
    shutil.rmtree(WORK)


if __name__ == "__main__":
    main()
