#pragma once

#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

// A keep-alive HTTP/1.1 client on a blocking socket, for the benchmark's client threads: one
// request at a time, the reply read by its Content-Length. Bound to a loopback address of its
// own, since the server lets one address hold only a few connections.
class HttpClient final
{
public:
    HttpClient(quint16 port, const char* from)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return;
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &server.sin_addr);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(m_fd, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~HttpClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    bool connected() const { return m_fd >= 0; }

    // POSTs `json` to `path`; the reply's status (0 when the connection failed) and its body.
    int post(const QByteArray& path, const QByteArray& json, QByteArray* body)
    {
        const QByteArray request = "POST " + path +
                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                   "application/json\r\nContent-Length: " +
                                   QByteArray::number(json.size()) + "\r\n\r\n" + json;
        if (m_fd < 0 || !sendAll(request))
            return 0;
        qsizetype headerEnd = -1;
        while ((headerEnd = m_buffer.indexOf("\r\n\r\n")) < 0) {
            if (!receive())
                return 0;
        }
        const QByteArray head = m_buffer.left(headerEnd).toLower();
        const qsizetype lengthAt = head.indexOf("\r\ncontent-length:");
        const qsizetype length =
            lengthAt < 0 ? 0
                         : head.mid(lengthAt + 17, head.indexOf('\r', lengthAt + 2) - lengthAt - 17)
                               .trimmed()
                               .toLongLong();
        while (m_buffer.size() < headerEnd + 4 + length) {
            if (!receive())
                return 0;
        }
        if (body)
            *body = m_buffer.mid(headerEnd + 4, length);
        const int status = m_buffer.mid(9, 3).toInt();
        m_buffer.remove(0, headerEnd + 4 + length);
        return status;
    }

private:
    bool sendAll(const QByteArray& bytes)
    {
        qsizetype sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.constData() + sent,
                                     static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += n;
        }
        return true;
    }
    bool receive()
    {
        char chunk[4096];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return false;
        m_buffer.append(chunk, n);
        return true;
    }

    int m_fd = -1;
    QByteArray m_buffer;
};
