// SPDX-License-Identifier: MIT
// The boards behind a network converter or gateway: the POSIX backend of kx9-sim's --listen.
#include "TcpBoard.h"

#include "../link/ModbusFrame.h"
#include "BoardBus.h"

#include <algorithm>
#include <cstdio>

namespace kx9 {

bool ParseNetFault(const QString& text, NetFault& fault) {
    const QString kind = text.section(':', 0, 0).trimmed().toLower();
    const QString after = text.section(':', 1);
    using K = NetFault::Kind;
    if (kind == "echo")
        fault.kind = K::Echo;
    else if (kind == "othertid")
        fault.kind = K::OtherTransaction;
    else if (kind == "reset")
        fault.kind = K::Reset;
    else if (kind == "silent")
        fault.kind = K::Silent;
    else if (kind == "none")
        fault.kind = K::None;
    else
        return false;
    fault.after = 0;
    fault.count = fault.kind == K::Reset ? 1 : -1;
    const QStringList numbers = after.isEmpty() ? QStringList() : after.split(':');
    if (numbers.size() > 2)
        return false;
    for (int k = 0; k < int(numbers.size()); ++k) {
        bool ok = false;
        const int v = numbers[k].toInt(&ok);
        if (!ok || v < (k == 0 ? 0 : -1))
            return false;
        (k == 0 ? fault.after : fault.count) = v;
    }
    return true;
}

} // namespace kx9

#ifdef _WIN32

namespace kx9 {
int RunTcpBoard(const std::vector<BoardModel*>&, const SimOptions&, const TcpOptions&) {
    std::fprintf(stderr, "kx9-sim: --listen is not available on this system\n");
    return 1;
}
} // namespace kx9

#else

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace kx9 {

namespace {

volatile std::sig_atomic_t g_stop = 0;
extern "C" void OnStop(int) {
    g_stop = 1;
}

using Steady = std::chrono::steady_clock;
constexpr int RtuSilenceMs = 20; // a request of a function we cannot size ends with this silence
constexpr uint8_t TargetFailed = 0x0B;

void Sleep(int ms) {
    const auto until = Steady::now() + std::chrono::milliseconds(ms);
    while (!g_stop && Steady::now() < until)
        std::this_thread::sleep_for(
            std::min<Steady::duration>(until - Steady::now(), std::chrono::milliseconds(50)));
}

int WireMs(int bytes, const LineSettings& line) {
    const int bits = 1 + 8 + (line.parity == Parity::None ? 0 : 1) + line.stopBits;
    return int(int64_t(bytes) * bits * 1000 / std::max(1, line.baud));
}

bool SendAll(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0 && !g_stop) {
        const ssize_t n = ::send(fd, data, size_t(left), MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 500) <= 0)
            return false;
    }
    return left == 0;
}

// A connection closed with a reset, as a converter that is switched off or crashes.
void Reset(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

void Log(const char* tag, const QByteArray& bytes) {
    std::fprintf(stderr, "%s %s\n", tag, bytes.toHex(' ').toUpper().constData());
    std::fflush(stderr);
}

// Length of the RTU request at the start of `in` by its function; 0 when not yet known.
int RtuRequestLength(const QByteArray& in) {
    if (in.size() < 2)
        return 0;
    switch (uint8_t(in[1])) {
    case 3:
        return 8;
    case 16:
        return in.size() < 7 ? 0 : 9 + uint8_t(in[6]);
    case 17:
        return 4;
    default:
        return -1; // sized by silence
    }
}

struct Client {
    int fd = -1;
    QByteArray in;
    Steady::time_point last;
};

class TcpLine {
public:
    TcpLine(const std::vector<BoardModel*>& boards, const SimOptions& options, const TcpOptions& tcp)
        : m_boards(boards), m_options(options), m_tcp(tcp), m_line(BoardLine(*boards.front())) {}
    ~TcpLine() {
        for (Client& c : m_clients)
            ::close(c.fd);
        if (m_listen >= 0)
            ::close(m_listen);
    }

    bool Start() {
        QString host = QStringLiteral("127.0.0.1");
        QString port = m_tcp.listen;
        if (m_tcp.listen.contains(':')) {
            port = m_tcp.listen.section(':', -1);
            host = m_tcp.listen.section(':', 0, -2);
            if (host.startsWith('[') && host.endsWith(']'))
                host = host.mid(1, host.size() - 2);
        }
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number < 0 || number > 65535)
            return Fail("--listen needs [ADDRESS:]PORT, port 0..65535");
        sockaddr_storage address{};
        socklen_t length = 0;
        const QByteArray h = host.toLatin1();
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        if (::inet_pton(AF_INET, h.constData(), &v4->sin_addr) == 1) {
            v4->sin_family = AF_INET;
            v4->sin_port = htons(uint16_t(number));
            length = sizeof *v4;
        } else if (::inet_pton(AF_INET6, h.constData(), &v6->sin6_addr) == 1) {
            v6->sin6_family = AF_INET6;
            v6->sin6_port = htons(uint16_t(number));
            length = sizeof *v6;
        } else {
            return Fail("--listen: not an IP address");
        }
        m_listen = ::socket(address.ss_family, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listen, 8) != 0)
            return Fail(std::strerror(errno));
        ::fcntl(m_listen, F_SETFL, ::fcntl(m_listen, F_GETFL) | O_NONBLOCK);
        // Port 0 lets the system choose; the one it chose is what the PC needs.
        sockaddr_storage bound{};
        socklen_t boundLength = sizeof bound;
        int actual = number;
        if (::getsockname(m_listen, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0)
            actual = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                       : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        m_where = (address.ss_family == AF_INET6 ? "[" + h + "]" : h) + ":" + QByteArray::number(actual);
        return true;
    }

    const QByteArray& Where() const { return m_where; }

    void Run() {
        while (!g_stop) {
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            for (const Client& c : m_clients)
                fds.push_back({c.fd, POLLIN, 0});
            int timeoutMs = 200;
            if (m_options.betweenFrames) {
                const int want = m_options.betweenFrames();
                if (want < 0)
                    return;
                timeoutMs = std::min(timeoutMs, want);
            }
            for (const Client& c : m_clients)
                if (!c.in.isEmpty())
                    timeoutMs = std::min(timeoutMs, RtuSilenceMs);
            const int r = ::poll(fds.data(), nfds_t(fds.size()), timeoutMs);
            if (r < 0 && errno != EINTR)
                return;
            if (r > 0 && (fds[0].revents & POLLIN))
                Accept();
            for (size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
                    Receive(fds[i].fd);
            Serve();
        }
    }

private:
    bool Fail(const char* what) {
        std::fprintf(stderr, "kx9-sim: %s\n", what);
        return false;
    }

    void Accept() {
        const int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            return;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        m_clients.push_back({fd, {}, Steady::now()});
    }

    void Receive(int fd) {
        auto it =
            std::find_if(m_clients.begin(), m_clients.end(), [&](const Client& c) { return c.fd == fd; });
        if (it == m_clients.end())
            return;
        char chunk[512];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            ::close(fd);
            m_clients.erase(it);
            return;
        }
        if (it->in.size() < 4096)
            it->in.append(chunk, int(n));
        it->last = Steady::now();
    }

    // Takes each whole request in turn; a client that was reset is dropped.
    void Serve() {
        for (size_t i = 0; i < m_clients.size();) {
            Client& c = m_clients[i];
            const bool alive = m_tcp.gateway ? ServeGateway(c) : ServeRtu(c);
            if (alive) {
                ++i;
                continue;
            }
            m_clients.erase(m_clients.begin() + qsizetype(i));
        }
    }

    bool ServeRtu(Client& c) {
        while (!c.in.isEmpty()) {
            int length = RtuRequestLength(c.in);
            const bool quiet = Steady::now() - c.last >= std::chrono::milliseconds(RtuSilenceMs);
            if (length < 0 || (length == 0 && quiet) || (length > 0 && c.in.size() < length && quiet))
                length = quiet ? int(c.in.size()) : 0;
            if (length <= 0 || c.in.size() < length)
                return true;
            const QByteArray request = c.in.left(length);
            c.in.remove(0, length);
            if (!Answer(c, request, -1))
                return false;
        }
        return true;
    }

    bool ServeGateway(Client& c) {
        while (c.in.size() >= 7) {
            const int length = (uint8_t(c.in[4]) << 8) | uint8_t(c.in[5]);
            if (length < 2 || length > 254 || c.in[2] != 0 || c.in[3] != 0) {
                ::close(c.fd); // no Modbus TCP: a gateway drops the connection
                return false;
            }
            if (c.in.size() < 6 + length)
                return true;
            const int transaction = (uint8_t(c.in[0]) << 8) | uint8_t(c.in[1]);
            QByteArray rtu = c.in.mid(6, length);
            c.in.remove(0, 6 + length);
            uint8_t frame[frame::BufferSize];
            const int n = std::min<int>(int(rtu.size()), frame::BufferSize - 2);
            std::memcpy(frame, rtu.constData(), size_t(n));
            const int withCrc = frame::AppendCrc(frame, n);
            if (!Answer(c, QByteArray(reinterpret_cast<const char*>(frame), withCrc), transaction))
                return false;
        }
        return true;
    }

    // One request on the line behind; the reply back to the PC. False when the connection is gone.
    bool Answer(Client& c, const QByteArray& request, int transaction) {
        const int index = m_requests++;
        const NetFault& f = m_tcp.fault;
        const bool faulty =
            f.kind != NetFault::Kind::None && index >= f.after && (f.count < 0 || index < f.after + f.count);
        if (m_options.log)
            Log("rx", request);
        if (faulty && m_tcp.fault.kind == NetFault::Kind::Reset) {
            std::fprintf(stderr, "kx9-sim: connection reset\n");
            Reset(c.fd);
            return false;
        }
        if (faulty && m_tcp.fault.kind == NetFault::Kind::Silent)
            return true;
        Sleep(m_tcp.latencyMs);
        if (m_options.pace)
            Sleep(WireMs(int(request.size()), m_line));
        const auto hears = [&](const LineSettings& want) {
            return want.baud == m_line.baud && want.parity == m_line.parity &&
                   want.stopBits == m_line.stopBits;
        };
        const BusReply r = DeliverOnBus(m_boards, request, hears);
        if (r.vanish) {
            Reset(c.fd);
            return false;
        }
        QByteArray reply = r.reply;
        if (!reply.isEmpty() || transaction >= 0)
            Sleep(m_options.turnaroundMs + r.delayMs);
        if (m_options.pace && !reply.isEmpty())
            Sleep(WireMs(int(reply.size()), m_line));
        if (transaction < 0) {
            QByteArray out;
            if (faulty && m_tcp.fault.kind == NetFault::Kind::Echo)
                out = request;
            out += reply;
            if (m_options.log)
                Log("tx", out);
            return out.isEmpty() || SendAll(c.fd, out);
        }
        // The gateway checks the line's reply; silence or garbage is its own exception.
        const bool sound =
            reply.size() >= 5 && reply[0] == request[0] &&
            frame::CrcMatches(reinterpret_cast<const uint8_t*>(reply.constData()), int(reply.size()));
        QByteArray adu;
        if (sound) {
            adu = reply.left(reply.size() - 2);
        } else {
            adu.append(request[0]);
            adu.append(char(uint8_t(request[1]) | 0x80));
            adu.append(char(TargetFailed));
        }
        if (faulty && m_tcp.fault.kind == NetFault::Kind::OtherTransaction)
            transaction = (transaction + 1) & 0xFFFF;
        QByteArray out(6, '\0');
        out[0] = char(transaction >> 8);
        out[1] = char(transaction & 0xFF);
        out[4] = char(adu.size() >> 8);
        out[5] = char(adu.size() & 0xFF);
        out += adu;
        if (m_options.log)
            Log("tx", adu);
        return SendAll(c.fd, out);
    }

    std::vector<BoardModel*> m_boards;
    const SimOptions& m_options;
    TcpOptions m_tcp;
    LineSettings m_line;
    int m_listen = -1;
    std::vector<Client> m_clients;
    int m_requests = 0;
    QByteArray m_where;
};

} // namespace

int RunTcpBoard(const std::vector<BoardModel*>& boards, const SimOptions& options, const TcpOptions& tcp) {
    if (boards.empty())
        return 1;
    struct sigaction sa {};
    sa.sa_handler = OnStop;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    TcpLine line(boards, options, tcp);
    if (!line.Start())
        return 1;
    for (const BoardModel* board : boards)
        std::printf("kx9-sim: board at address %d behind %s%s\n", board->Address(),
                    tcp.gateway ? "modbus-tcp://" : "tcp://", line.Where().constData());
    std::fflush(stdout);
    line.Run();
    return 0;
}

} // namespace kx9

#endif
