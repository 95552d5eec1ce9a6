#include "web/HashPasswordCommand.h"

#include "core/TwError.h"
#include "web/PasswordFile.h"

#include <QByteArray>
#include <sodium.h>
#include <termios.h>
#include <unistd.h>

namespace {

// One line of in, without its line end.
QByteArray readLine(std::FILE* in)
{
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') line.append(char(c));
    if (line.endsWith('\r')) line.chop(1);
    return line;
}

// Turns the terminal's echo off for its lifetime (nothing when in is not a terminal).
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd)
    {
        if (!isatty(fd) || tcgetattr(fd, &m_saved) != 0) return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        m_active = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (m_active) tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_active = false;
};

}  // namespace

int runHashPassword(std::FILE* in, std::FILE* out, std::FILE* err)
{
    const bool terminal = isatty(fileno(in)) != 0;
    QByteArray password;
    {
        EchoOff quiet(fileno(in));
        if (terminal) std::fputs("Password: ", err);
        password = readLine(in);
        if (terminal) {
            std::fputs("\nAgain: ", err);
            QByteArray again = readLine(in);
            std::fputs("\n", err);
            const bool same = again == password;
            sodium_memzero(again.data(), size_t(again.size()));
            if (!same) {
                std::fputs("tarnwell-web: the two passwords differ\n", err);
                return 2;
            }
        }
    }
    if (password.isEmpty()) {
        std::fputs("tarnwell-web: the password is empty\n", err);
        return 2;
    }
    try {
        const QByteArray hash = PasswordFile::hash(password);
        sodium_memzero(password.data(), size_t(password.size()));
        std::fprintf(out, "%s\n", hash.constData());
        std::fflush(out);
    } catch (const TwError& e) {
        std::fprintf(err, "tarnwell-web: %s\n", qPrintable(e.description));
        return 2;
    }
    return 0;
}
