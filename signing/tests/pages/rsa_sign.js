// RSA signing as a page does it: choose the certificate by filters, read its facts, sign the
// text attached and detached with each hash name, and sign a SHA-256 digest the page computes
// itself (the SHA-1 digest is filled in by the runner). The runner checks every message with
// openssl.
var text = "\u7B7E\u540D text";

function utf8Bytes(s) {
    var bytes = [];
    for (var i = 0; i < s.length; i++) {
        var c = s.charCodeAt(i);
        if (c < 0x80) bytes.push(c);
        else if (c < 0x800) bytes.push(0xC0 | (c >> 6), 0x80 | (c & 63));
        else bytes.push(0xE0 | (c >> 12), 0x80 | ((c >> 6) & 63), 0x80 | (c & 63));
    }
    return bytes;
}

function sha256(bytes) {
    var k = [0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
             0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
             0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
             0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
             0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
             0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
             0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
             0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2];
    var h = [0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19];
    var m = bytes.slice();
    var bitLength = bytes.length * 8;
    m.push(0x80);
    while (m.length % 64 != 56) m.push(0);
    m.push(0, 0, 0, 0, (bitLength >>> 24) & 255, (bitLength >>> 16) & 255, (bitLength >>> 8) & 255, bitLength & 255);
    function rotr(x, n) { return (x >>> n) | (x << (32 - n)); }
    for (var off = 0; off < m.length; off += 64) {
        var w = [];
        for (var t = 0; t < 64; t++) {
            if (t < 16) {
                w[t] = (m[off + 4 * t] << 24) | (m[off + 4 * t + 1] << 16) | (m[off + 4 * t + 2] << 8) | m[off + 4 * t + 3];
            } else {
                var s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >>> 3);
                var s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >>> 10);
                w[t] = (w[t - 16] + s0 + w[t - 7] + s1) | 0;
            }
        }
        var a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (var t = 0; t < 64; t++) {
            var t1 = (hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[t] + w[t]) | 0;
            var t2 = ((rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c))) | 0;
            hh = g; g = f; f = e; e = (d + t1) | 0; d = c; c = b; b = a; a = (t1 + t2) | 0;
        }
        h = [(h[0] + a) | 0, (h[1] + b) | 0, (h[2] + c) | 0, (h[3] + d) | 0,
             (h[4] + e) | 0, (h[5] + f) | 0, (h[6] + g) | 0, (h[7] + hh) | 0];
    }
    var out = [];
    for (var i = 0; i < 8; i++) out.push((h[i] >>> 24) & 255, (h[i] >>> 16) & 255, (h[i] >>> 8) & 255, h[i] & 255);
    return out;
}

function base64(bytes) {
    var abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    var out = "";
    for (var i = 0; i < bytes.length; i += 3) {
        var n = (bytes[i] << 16) | ((bytes[i + 1] || 0) << 8) | (bytes[i + 2] || 0);
        out += abc.charAt(n >> 18) + abc.charAt((n >> 12) & 63) +
               (i + 1 < bytes.length ? abc.charAt((n >> 6) & 63) : "=") + (i + 2 < bytes.length ? abc.charAt(n & 63) : "=");
    }
    return out;
}

print("select " + plugin.SelectCertificate("CN=Page Signer", "O=Quillmark Test", "00c35a", ""));
var types = ["SubjectDN", "subjectcn", "SERIALNUMBER", "CSPName", "certtype", "IssuerDN"];
for (var i = 0; i < types.length; i++) {
    print("info " + types[i] + " " + plugin.GetSignCertInfo(types[i]));
}
print("content " + plugin.GetSignCertInfo("CertContent"));

var hashes = ["SHA-1", "SHA-256", "MD-5"];
for (var h = 0; h < hashes.length; h++) {
    print("P7 attached " + hashes[h] + " " + plugin.SignMsgPKCS7(text, hashes[h], true));
    print("P7 detached " + hashes[h] + " " + plugin.SignMsgPKCS7(text, hashes[h], false));
}
print("P7 digest SHA-1 " + plugin.SignHashMsgPKCS7Detached("@SHA1@", "SHA-1"));
print("P7 digest SHA-256 " + plugin.SignHashMsgPKCS7Detached(base64(sha256(utf8Bytes(text))), "sha-256"));

try {
    plugin.SignMsgPKCS7(text, "SHA256", true);
} catch (e) {
    print("SHA256: " + JSON.stringify(plugin.GetLastErrorDesc()));
}
