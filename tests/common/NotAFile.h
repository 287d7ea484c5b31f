// SPDX-License-Identifier: MIT
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kx9::test {

// A named pipe at `path`; false where the system has none.
inline bool MakeFifo(const QString& path) {
#ifdef Q_OS_UNIX
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// Runs `read` and returns the seconds it took. Should it block on the pipe `fifo`, the pipe is
// opened for writing and closed after `releaseMs`, which lets the read end: a reader that
// blocks makes the test fail instead of hang.
inline double TimedRead(const std::function<void()>& read, const QString& fifo = QString(),
                        int releaseMs = 3000) {
    std::atomic<bool> done{false};
    std::thread release([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(releaseMs);
        while (!done && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
#ifdef Q_OS_UNIX
        if (!done && !fifo.isEmpty()) {
            const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
#else
        Q_UNUSED(fifo);
#endif
    });
    QElapsedTimer t;
    t.start();
    read();
    done = true;
    release.join();
    return t.elapsed() / 1000.0;
}

} // namespace kx9::test
