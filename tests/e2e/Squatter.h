// A listener of the user nobody at a pipe's socket, as another local user could make one, counting
// the bytes it receives. Only root can make it.
#pragma once

#include <QProcess>

namespace e2e {

struct Squatter : QProcess {
    explicit Squatter(const QString& socket) {
        start("/usr/bin/setpriv",
              {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/python3", "-c",
               "import select, socket, sys\ns = socket.socket(socket.AF_UNIX)\n"
               "s.bind(sys.argv[1])\ns.listen()\nprint(flush=True)\nends, got = [s, sys.stdin], 0\n"
               "while True:\n for end in select.select(ends, [], [])[0]:\n"
               "  if end is sys.stdin: sys.stdin.readline(); print(got, flush=True)\n"
               "  elif end is s: ends.append(s.accept()[0])\n"
               "  else: data = end.recv(65536); got += len(data); data or ends.remove(end)\n",
               socket});
        listening = waitForReadyRead(10000) && readAll() == "\n";
    }
    ~Squatter() override {
        kill();
        waitForFinished();
    }
    // The bytes received so far, or -1 when it does not listen.
    int received() {
        write("\n");
        return listening && waitForReadyRead(5000) ? readAll().trimmed().toInt() : -1;
    }
    bool listening = false;
};

} // namespace e2e
