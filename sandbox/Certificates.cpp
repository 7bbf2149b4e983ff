#include "Certificates.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/ecdsa.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cstdio>
#include <functional>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long kAuthorityDays = 3650;
constexpr long kServerDays = 825;

struct KeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct CertFree
{
    void operator()(X509 *cert) const { X509_free(cert); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

std::string openSslError(const std::string &what)
{
    const unsigned long code = ERR_get_error();
    char text[256] = "unknown error";
    if (code != 0) {
        ERR_error_string_n(code, text, sizeof text);
    }
    ERR_clear_error();
    return what + ": " + text;
}

FILE *openForRead(const std::string &path)
{
    return std::fopen(path.c_str(), "rb");
}

CertPtr readCert(const std::string &path)
{
    FILE *file = openForRead(path);
    if (!file) {
        return nullptr;
    }
    CertPtr cert(PEM_read_X509(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    ERR_clear_error();
    return cert;
}

KeyPtr readKey(const std::string &path)
{
    FILE *file = openForRead(path);
    if (!file) {
        return nullptr;
    }
    KeyPtr key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    ERR_clear_error();
    return key;
}

bool isIpv4(const std::string &host)
{
    unsigned char address[4];
    return inet_pton(AF_INET, host.c_str(), address) == 1;
}

bool stillValid(X509 *cert)
{
    return X509_cmp_current_time(X509_get0_notAfter(cert)) > 0
        && X509_cmp_current_time(X509_get0_notBefore(cert)) < 0;
}

// Writes through a temporary file renamed into place, so a reader never sees half a file.
bool writePem(const std::string &path, mode_t mode, const std::function<int(FILE *)> &write,
    std::string &error)
{
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        error = "cannot create " + temporary;
        return false;
    }
    ::fchmod(fd, mode);
    FILE *file = ::fdopen(fd, "wb");
    if (!file) {
        ::close(fd);
        error = "cannot open " + temporary;
        return false;
    }
    const bool written = write(file) == 1;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        error = openSslError("cannot write " + path);
        return false;
    }
    return true;
}

bool writeCert(const std::string &path, X509 *cert, std::string &error)
{
    return writePem(
        path, 0644, [cert](FILE *file) { return PEM_write_X509(file, cert); }, error);
}

bool writeKey(const std::string &path, EVP_PKEY *key, std::string &error)
{
    return writePem(
        path, 0600,
        [key](FILE *file) {
            return PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr);
        },
        error);
}

bool addExtension(X509 *cert, X509V3_CTX *context, int nid, const char *value)
{
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
    if (!extension) {
        return false;
    }
    const int added = X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
    return added == 1;
}

bool setRandomSerial(X509 *cert)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        return false;
    }
    bytes[0] &= 0x7F; // positive
    bytes[0] |= 0x01; // no leading zero byte
    BIGNUM *number = BN_bin2bn(bytes, sizeof bytes, nullptr);
    if (!number) {
        return false;
    }
    const bool ok = BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert)) != nullptr;
    BN_free(number);
    return ok;
}

// Whether the certificate's ECDSA signature has r and s of the curve's full 32 bytes (true for
// a signature of another kind).
bool fullLengthSignature(const X509 *cert)
{
    const ASN1_BIT_STRING *signature = nullptr;
    const X509_ALGOR *algorithm = nullptr;
    X509_get0_signature(&signature, &algorithm, cert);
    if (!signature)
        return true;
    const unsigned char *bytes = signature->data;
    ECDSA_SIG *parsed = d2i_ECDSA_SIG(nullptr, &bytes, signature->length);
    if (!parsed)
        return true;
    const BIGNUM *r = nullptr;
    const BIGNUM *s = nullptr;
    ECDSA_SIG_get0(parsed, &r, &s);
    const bool full = BN_num_bytes(r) == 32 && BN_num_bytes(s) == 32;
    ECDSA_SIG_free(parsed);
    return full;
}

// Issues a certificate for `subjectKey`; a null `issuer` makes it self-signed.
CertPtr issue(const char *commonName, EVP_PKEY *subjectKey, X509 *issuer, EVP_PKEY *issuerKey,
    bool authority, long days, const std::string &altNames)
{
    CertPtr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), 2) != 1 || !setRandomSerial(cert.get())) {
        return nullptr;
    }
    X509_NAME *name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
        reinterpret_cast<const unsigned char *>("Tallyport Sandbox"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(
        name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char *>(commonName), -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : name);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_time_adj_ex(X509_getm_notAfter(cert.get()), static_cast<int>(days), 0, nullptr);
    if (X509_set_pubkey(cert.get(), subjectKey) != 1) {
        return nullptr;
    }

    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer ? issuer : cert.get(), cert.get(), nullptr, nullptr, 0);
    bool ok = addExtension(cert.get(), &context, NID_subject_key_identifier, "hash");
    if (authority) {
        ok = ok && addExtension(cert.get(), &context, NID_basic_constraints, "critical,CA:TRUE")
            && addExtension(cert.get(), &context, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && addExtension(cert.get(), &context, NID_basic_constraints, "critical,CA:FALSE")
            && addExtension(cert.get(), &context, NID_key_usage, "critical,digitalSignature")
            && addExtension(cert.get(), &context, NID_ext_key_usage, "serverAuth")
            && addExtension(cert.get(), &context, NID_subject_alt_name, altNames.c_str())
            && addExtension(cert.get(), &context, NID_authority_key_identifier, "keyid:always");
    }
    if (!ok)
        return nullptr;
    // An ECDSA signature is new at every signing. Some verifiers (Wine's, under which the
    // Windows till is tested) refuse one whose r or s is shorter than the curve's 32 bytes,
    // about one in a hundred: such a signature is made again.
    for (int attempt = 0; attempt < 64; ++attempt) {
        if (X509_sign(cert.get(), issuerKey, EVP_sha256()) <= 0)
            return nullptr;
        if (fullLengthSignature(cert.get()))
            break;
    }
    return cert;
}

} // namespace

Certificates::Certificates(std::string dataDir)
    : m_dir(std::move(dataDir))
{
    while (m_dir.size() > 1 && m_dir.back() == '/') {
        m_dir.pop_back();
    }
}

std::string Certificates::serverNames() const
{
    if (m_serverHost.empty()) {
        return "IP:127.0.0.1,DNS:localhost";
    }
    return (isIpv4(m_serverHost) ? "IP:" : "DNS:") + m_serverHost;
}

bool Certificates::namesMatch(X509 *cert) const
{
    const bool local = X509_check_ip_asc(cert, "127.0.0.1", 0) == 1
        && X509_check_host(cert, "localhost", 0, 0, nullptr) == 1;
    if (m_serverHost.empty()) {
        return local;
    }
    const bool named = isIpv4(m_serverHost)
        ? X509_check_ip_asc(cert, m_serverHost.c_str(), 0) == 1
        : X509_check_host(cert, m_serverHost.c_str(), m_serverHost.size(), 0, nullptr) == 1;
    return named && !local;
}

bool Certificates::ensure(std::string &error)
{
    m_createdAuthority = false;
    m_createdServer = false;

    CertPtr authority = readCert(caPath());
    KeyPtr authorityKey = readKey(caKeyPath());
    const bool authoritySound = authority && authorityKey && stillValid(authority.get())
        && X509_check_private_key(authority.get(), authorityKey.get()) == 1;
    if (!authoritySound) {
        authorityKey.reset(EVP_EC_gen("P-256"));
        if (!authorityKey) {
            error = openSslError("cannot make the CA key");
            return false;
        }
        authority = issue("Tallyport Sandbox CA", authorityKey.get(), nullptr, authorityKey.get(),
            true, kAuthorityDays, std::string());
        if (!authority) {
            error = openSslError("cannot make the CA certificate");
            return false;
        }
        if (!writeKey(caKeyPath(), authorityKey.get(), error)
            || !writeCert(caPath(), authority.get(), error)) {
            return false;
        }
        m_createdAuthority = true;
    }

    CertPtr server = readCert(serverCertPath());
    KeyPtr serverKey = readKey(serverKeyPath());
    const bool serverSound = !m_createdAuthority && server && serverKey && stillValid(server.get())
        && X509_check_private_key(server.get(), serverKey.get()) == 1
        && X509_verify(server.get(), authorityKey.get()) == 1 && namesMatch(server.get());
    ERR_clear_error();
    if (serverSound) {
        return true;
    }
    serverKey.reset(EVP_EC_gen("P-256"));
    if (!serverKey) {
        error = openSslError("cannot make the server key");
        return false;
    }
    const std::string commonName = m_serverHost.empty() ? "localhost" : m_serverHost;
    server = issue(commonName.c_str(), serverKey.get(), authority.get(), authorityKey.get(), false,
        kServerDays, serverNames());
    if (!server) {
        error = openSslError("cannot make the server certificate");
        return false;
    }
    if (!writeKey(serverKeyPath(), serverKey.get(), error)
        || !writeCert(serverCertPath(), server.get(), error)) {
        return false;
    }
    m_createdServer = true;
    return true;
}
