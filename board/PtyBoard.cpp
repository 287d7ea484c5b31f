// SPDX-License-Identifier: MIT
// The board on a pseudo-terminal: the POSIX backend of kx9-sim.
#include "PtyBoard.h"

#include "BoardBus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kx9 {

int BitsPerByte(int frameIndex) {
    return frameIndex == 0 ? 10 : 11;
}

double FrameGapMs(int frameIndex, int baud) {
    const double charMs = 1000.0 * BitsPerByte(frameIndex) / std::max(1, baud);
    return std::max(3.5 * charMs, 5.0);
}

} // namespace kx9

#ifdef _WIN32

namespace kx9 {
int RunPtyBoard(const std::vector<BoardModel*>&, const SimOptions&) {
    std::fprintf(stderr, "kx9-sim: pseudo-terminals are not available on this system\n");
    return 1;
}
} // namespace kx9

#else

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#if defined(__linux__) && defined(TCGETS2)
// The kernel's termios with the exact rates; glibc's tcgetattr only knows the Bxxx constants,
// and rates such as 14400 are set as "other" with the number in c_ospeed.
struct termios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
#define KX9_HAVE_TERMIOS2 1
#endif

namespace kx9 {

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int) {
    g_stop = 1;
}

using Steady = std::chrono::steady_clock;

struct Rate {
    int baud;
    speed_t code;
};
constexpr Rate Rates[] = {{2400, B2400},   {4800, B4800},   {9600, B9600},     {19200, B19200},
                          {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}};

speed_t SpeedCode(int baud) {
    for (const Rate& r : Rates)
        if (r.baud == baud)
            return r.code;
    return B0;
}

int BaudOfCode(speed_t code) {
    for (const Rate& r : Rates)
        if (r.code == code)
            return r.baud;
    return 0;
}

// What the master set on the line, as far as a pseudo-terminal shows it. The pty drops
// PARENB, so even parity and no parity look alike; PARODD and CSTOPB stay visible.
struct SeenLine {
    int baud = 0;
    bool stop2 = false;
    bool parEnb = false;
    bool parOdd = false;
};

SeenLine Observe(int masterFd) {
    SeenLine seen;
    termios t{};
    if (tcgetattr(masterFd, &t) != 0)
        return seen;
    seen.baud = TerminalRate(masterFd);
    seen.stop2 = (t.c_cflag & CSTOPB) != 0;
    seen.parEnb = (t.c_cflag & PARENB) != 0;
    seen.parOdd = (t.c_cflag & PARODD) != 0;
    return seen;
}

bool Matches(const SeenLine& seen, const LineSettings& want) {
    if (seen.baud != want.baud)
        return false;
    if (seen.stop2 != (want.stopBits == 2))
        return false;
    if (seen.parEnb) {
        const Parity p = seen.parOdd ? Parity::Odd : Parity::Even;
        return p == want.parity;
    }
    return seen.parOdd == (want.parity == Parity::Odd);
}

QByteArray Describe(const LineSettings& l) {
    const char parity = l.parity == Parity::None ? 'N' : l.parity == Parity::Even ? 'E' : 'O';
    return QByteArray::number(l.baud) + " 8" + parity + QByteArray::number(l.stopBits);
}

// The frame as the line shows it. Without PARENB (which a pseudo-terminal drops) no parity and
// even parity look alike; PARODD is taken for odd parity, as a master that clears it for the
// other frames leaves it only then.
QByteArray Describe(const SeenLine& s) {
    const QByteArray stop = s.stop2 ? "2" : "1";
    QByteArray frame;
    if (s.parOdd)
        frame = "8O" + stop;
    else if (s.parEnb)
        frame = "8E" + stop;
    else if (s.stop2)
        frame = "8N2";
    else
        frame = "8N1/8E1";
    return QByteArray::number(s.baud) + " " + frame;
}

// The board table's frame with as many bits a character as the line shows.
int FrameIndexSeen(const SeenLine& s) {
    if (s.parOdd)
        return 3;
    if (s.parEnb)
        return 2;
    return s.stop2 ? 1 : 0;
}

void LogFrame(const char* tag, const QByteArray& bytes) {
    std::fprintf(stderr, "%s %s\n", tag, bytes.toHex(' ').toUpper().constData());
}

// Sleeps until `until`, waking early when asked to stop.
void SleepUntil(Steady::time_point until) {
    while (!g_stop) {
        const auto now = Steady::now();
        if (now >= until)
            return;
        std::this_thread::sleep_for(std::min<Steady::duration>(until - now, std::chrono::milliseconds(50)));
    }
}

Steady::duration WireTime(int bytes, int frameIndex, int baud) {
    const double us = 1e6 * bytes * BitsPerByte(frameIndex) / std::max(1, baud);
    return std::chrono::microseconds(int64_t(std::llround(us)));
}

// Writes everything or gives up after a short wait: when nobody reads the line, the reply is lost.
bool WriteAll(int fd, const char* data, int length) {
    while (length > 0 && !g_stop) {
        const ssize_t n = ::write(fd, data, size_t(length));
        if (n > 0) {
            data += n;
            length -= int(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 200) <= 0)
            return false;
    }
    return length == 0;
}

class PtyLine {
public:
    PtyLine(const std::vector<BoardModel*>& boards, const SimOptions& options)
        : m_boards(boards), m_options(options) {}

    ~PtyLine() { Drop(); }

    bool Start() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return Fail("posix_openpt");
        const char* name = ptsname(m_master);
        if (!name)
            return Fail("ptsname");
        m_slaveName = name;
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        // Our own handle on the slave keeps the line alive while the master closes and
        // reopens it; without it the last close hangs the pty up.
        m_slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_slave < 0)
            return Fail("open slave");
        SetBoardLine();
        return MakeLink();
    }

    void Run() {
        QByteArray frame;
        Steady::time_point first{}, last{};
        char chunk[512];
        while (!g_stop) {
            int timeoutMs = 200;
            if (frame.isEmpty() && m_options.betweenFrames) {
                const int wantMs = m_options.betweenFrames();
                if (wantMs < 0)
                    return;
                timeoutMs = std::min(timeoutMs, wantMs);
            }
            if (!frame.isEmpty()) {
                const auto end = last + std::chrono::microseconds(int64_t(m_gapMs * 1000.0));
                const auto now = Steady::now();
                if (now >= end) {
                    Answer(frame, first);
                    frame.clear();
                    continue;
                }
                timeoutMs = int(std::chrono::ceil<std::chrono::milliseconds>(end - now).count());
            }
            pollfd p{m_master, POLLIN, 0};
            const int r = ::poll(&p, 1, timeoutMs);
            if (r < 0) {
                if (errno == EINTR)
                    continue;
                Fail("poll");
                return;
            }
            if (r == 0)
                continue;
            if (p.revents & POLLIN) {
                const ssize_t n = ::read(m_master, chunk, sizeof chunk);
                if (n > 0) {
                    const auto now = Steady::now();
                    if (frame.isEmpty()) {
                        first = now;
                        m_gapMs = Gap();
                    }
                    last = now;
                    // A frame longer than any request is noise; keep only its start.
                    if (frame.size() < 1024)
                        frame.append(chunk, int(n));
                    continue;
                }
            }
            if (p.revents & (POLLHUP | POLLERR))
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    void Drop() {
        RemoveLink();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
        m_slave = m_master = -1;
    }

    // The adapter pulled and plugged in again: the master sees its line hang up, and the
    // next open under the same name reaches a new line.
    void Replug() {
        Drop();
        if (!Start()) {
            g_stop = 1;
            return;
        }
        std::fprintf(stderr, "kx9-sim: line removed, offered again on %s\n", m_slaveName.constData());
    }

    bool Fail(const char* what) {
        std::fprintf(stderr, "kx9-sim: %s: %s\n", what, std::strerror(errno));
        return false;
    }

    // The end-of-frame silence at the rate the master set; while it sets none the boards'
    // own, the longest.
    double Gap() const {
        const SeenLine seen = Observe(m_master);
        if (seen.baud > 0)
            return FrameGapMs(FrameIndexSeen(seen), seen.baud);
        double gap = 0;
        for (const BoardModel* b : m_boards)
            gap = std::max(gap, FrameGapMs(b->FrameIndex(), BoardLine(*b).baud));
        return gap;
    }

    // Raw line at the (first) board's own settings until a master sets its own.
    void SetBoardLine() {
        termios t{};
        if (tcgetattr(m_slave, &t) != 0)
            return;
        cfmakeraw(&t);
        const LineSettings line = BoardLine(*m_boards.front());
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~(CSTOPB | PARENB | PARODD);
        if (line.stopBits == 2)
            t.c_cflag |= CSTOPB;
        if (line.parity != Parity::None)
            t.c_cflag |= PARENB;
        if (line.parity == Parity::Odd)
            t.c_cflag |= PARODD;
        const speed_t code = SpeedCode(line.baud);
        if (code != B0) {
            cfsetispeed(&t, code);
            cfsetospeed(&t, code);
        }
        tcsetattr(m_slave, TCSANOW, &t);
    }

    bool MakeLink() {
        const QByteArray link = m_options.link.toLocal8Bit();
        struct stat st {};
        if (::lstat(link.constData(), &st) == 0) {
            // Only a link left by a run that was killed is taken over: one to a pseudo-terminal
            // that is gone. Anything else (the user's COM1 -> /dev/ttyUSB0, a file, a pipe) is
            // not ours to replace, nor to delete at exit.
            if (!S_ISLNK(st.st_mode)) {
                std::fprintf(stderr, "kx9-sim: %s exists and is not a link; choose another --link\n",
                             link.constData());
                return false;
            }
            const QByteArray target = LinkTarget(link);
            if (!StalePtyLink(link, target)) {
                std::fprintf(stderr,
                             "kx9-sim: %s is a link to %s, which is no pseudo-terminal of an ended kx9-sim; "
                             "remove it or choose another --link\n",
                             link.constData(), target.constData());
                return false;
            }
            ::unlink(link.constData());
        }
        if (::symlink(m_slaveName.constData(), link.constData()) != 0)
            return Fail("symlink");
        m_linked = true;
        return true;
    }

    void RemoveLink() {
        if (!m_linked)
            return;
        // Only the link this run made: one put there meanwhile by someone else stays.
        const QByteArray link = m_options.link.toLocal8Bit();
        if (LinkTarget(link) == m_slaveName)
            ::unlink(link.constData());
        m_linked = false;
    }

    static QByteArray LinkTarget(const QByteArray& link) {
        char target[4096];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        return n > 0 ? QByteArray(target, int(n)) : QByteArray();
    }

    // A link into the folder of this system's pseudo-terminals (where ours is) to one that no
    // longer exists.
    bool StalePtyLink(const QByteArray& link, const QByteArray& target) const {
        const qsizetype slash = m_slaveName.lastIndexOf('/');
        const QByteArray folder = m_slaveName.left(slash + 1);
        if (slash <= 0 || !target.startsWith(folder) || target.size() == folder.size() ||
            target.mid(folder.size()).contains('/'))
            return false;
        struct stat st {};
        return ::stat(link.constData(), &st) != 0 && errno == ENOENT;
    }

    // "9600 8O1" of every board, each setting once.
    QByteArray BoardsAt() const {
        QList<QByteArray> lines;
        for (const BoardModel* b : m_boards) {
            const QByteArray l = Describe(BoardLine(*b));
            if (!lines.contains(l))
                lines.append(l);
        }
        return (m_boards.size() == 1 ? "board at " : "boards at ") + lines.join(", ");
    }

    void Answer(const QByteArray& request, Steady::time_point first) {
        const SeenLine seen = Observe(m_master);
        const auto hears = [&](const LineSettings& want) { return Matches(seen, want); };
        const auto heard = std::find_if(m_boards.begin(), m_boards.end(),
                                        [&](const BoardModel* b) { return hears(BoardLine(*b)); });
        if (heard == m_boards.end()) {
            // At another rate or frame a real board receives garbage and keeps quiet.
            std::fprintf(stderr, "kx9-sim: ignored %d bytes: line set to %s, %s\n", int(request.size()),
                         Describe(seen).constData(), BoardsAt().constData());
            if (m_options.log)
                LogFrame("ignored", request);
            return;
        }
        if (m_options.pace) {
            const BoardModel& b = **heard;
            SleepUntil(first + WireTime(int(request.size()), b.FrameIndex(), BoardLine(b).baud));
        }
        const BusReply r = DeliverOnBus(m_boards, request, hears);
        if (m_options.log) {
            LogFrame("rx", request);
            if (r.reply.isEmpty())
                std::fprintf(stderr, "tx (none)\n");
            if (r.answered > 1)
                std::fprintf(stderr, "kx9-sim: %d boards answered at once\n", r.answered);
        }
        if (r.vanish) {
            Replug();
            return;
        }
        if (r.reply.isEmpty())
            return;
        SleepUntil(Steady::now() + std::chrono::milliseconds(m_options.turnaroundMs + r.delayMs));
        if (g_stop)
            return;
        // The reply goes out at the settings it was asked at, even when it switches the link.
        if (m_options.pace)
            SendPaced(r.reply, r.frameIndex, r.line.baud);
        else
            WriteAll(m_master, r.reply.constData(), int(r.reply.size()));
        if (m_options.log) {
            LogFrame("tx", r.reply);
            std::fflush(stderr);
        }
    }

    void SendPaced(const QByteArray& reply, int frameIndex, int baud) {
        const auto start = Steady::now();
        int sent = 0;
        while (sent < reply.size() && !g_stop) {
            // Everything whose last bit is due by now goes in one write.
            const auto elapsed = Steady::now() - start;
            int due = 0;
            while (due < reply.size() && WireTime(due + 1, frameIndex, baud) <= elapsed)
                ++due;
            if (due > sent) {
                if (!WriteAll(m_master, reply.constData() + sent, due - sent))
                    return;
                sent = due;
            }
            if (sent < reply.size())
                SleepUntil(start + WireTime(sent + 1, frameIndex, baud));
        }
    }

    std::vector<BoardModel*> m_boards;
    const SimOptions& m_options;
    double m_gapMs = 5;
    int m_master = -1;
    int m_slave = -1;
    QByteArray m_slaveName;
    bool m_linked = false;
};

} // namespace

int TerminalRate(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return 0;
    int rate = BaudOfCode(cfgetospeed(&t));
#ifdef KX9_HAVE_TERMIOS2
    termios2 t2{};
    if (ioctl(fd, TCGETS2, &t2) == 0 && t2.c_ospeed > 0)
        rate = int(t2.c_ospeed);
#endif
    return rate;
}

int RunPtyBoard(const std::vector<BoardModel*>& boards, const SimOptions& options) {
    if (boards.empty())
        return 1;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: poll returns at once
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    PtyLine line(boards, options);
    if (!line.Start())
        return 1;
    for (const BoardModel* board : boards)
        std::printf("kx9-sim: board at address %d, %s, on %s\n", board->Address(),
                    Describe(BoardLine(*board)).constData(), options.link.toLocal8Bit().constData());
    std::fflush(stdout);
    line.Run();
    return 0;
}

} // namespace kx9

#endif
