#pragma once

#include <string>

typedef struct x509_st X509;

// The sandbox's own certificate authority and its server certificate (EC P-256, SHA-256),
// kept in the data directory:
//   ca.pem, ca-key.pem          the CA (clients trust ca.pem)
//   server.pem, server-key.pem  the server certificate for IP 127.0.0.1 and DNS localhost
// Key files are owner-only (0600). Existing files are reused while they are sound; a missing
// or expired server certificate, or one for other names, is issued again by the same CA.
class Certificates
{
public:
    explicit Certificates(std::string dataDir);

    // Issues the server certificate for this one host name (or IPv4 address) instead of
    // 127.0.0.1 and localhost: clients that verify host names then refuse it.
    void setServerHost(const std::string &host) { m_serverHost = host; }
    // The subjectAltName of the server certificate.
    std::string serverNames() const;

    bool ensure(std::string &error);

    std::string caPath() const { return m_dir + "/ca.pem"; }
    std::string caKeyPath() const { return m_dir + "/ca-key.pem"; }
    std::string serverCertPath() const { return m_dir + "/server.pem"; }
    std::string serverKeyPath() const { return m_dir + "/server-key.pem"; }

    // What the last ensure() did.
    bool createdAuthority() const { return m_createdAuthority; }
    bool createdServer() const { return m_createdServer; }

private:
    bool namesMatch(X509 *cert) const;

    std::string m_dir;
    std::string m_serverHost;
    bool m_createdAuthority = false;
    bool m_createdServer = false;
};
