// A listener at a pipe's socket made by the user nobody, as another local user could make one,
// counting the bytes it receives. Needs root to become nobody.
#pragma once

#include <QProcess>
#include <QString>

namespace e2e {

class Squatter {
public:
    explicit Squatter(const QString& socket) {
        m_process.start(QStringLiteral("/usr/bin/setpriv"),
                        {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/python3",
                         "-c", kScript, socket});
        m_listening = m_process.waitForReadyRead(10000);
        m_process.readAll();
    }
    ~Squatter() {
        m_process.kill();
        m_process.waitForFinished();
    }
    bool listening() const { return m_listening; }
    // The bytes received so far, or -1 when it no longer listens.
    int received() {
        m_process.write("\n");
        bool number = false;
        const int count =
            m_process.waitForReadyRead(5000) ? m_process.readAll().trimmed().toInt(&number) : -1;
        return number ? count : -1;
    }

private:
    static constexpr const char* kScript =
        "import select, socket, sys\n"
        "s = socket.socket(socket.AF_UNIX)\ns.bind(sys.argv[1])\ns.listen()\nprint(flush=True)\n"
        "ends, got = [s, sys.stdin], 0\n"
        "while True:\n"
        "  for end in select.select(ends, [], [])[0]:\n"
        "    if end is sys.stdin: sys.stdin.readline(); print(got, flush=True)\n"
        "    elif end is s: ends.append(s.accept()[0])\n"
        "    else:\n"
        "      data = end.recv(65536); got += len(data)\n"
        "      if not data: ends.remove(end)\n";
    QProcess m_process;
    bool m_listening = false;
};

} // namespace e2e
