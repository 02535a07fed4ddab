#include "show/impress/Office.h"

#include "show/impress/ImpressApplication.h"

#include <cerrno>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <csignal>
#include <cstring>
#include <pwd.h>
#include <QFile>
#include <QUrl>
#include <rtl/bootstrap.hxx>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace show::impress {

using namespace css;
using css::uno::Reference;
using Clock = std::chrono::steady_clock;

namespace {

using namespace std::chrono_literals;

// How often a waiting connect looks again at the pipe and the process.
constexpr std::chrono::milliseconds kPollInterval = 100ms;

const QString kClosed =
    QStringLiteral("LibreOffice Impress has closed. Press Load Show to start it again.");

QString stoppedText() {
    return QStringLiteral("LibreOffice Impress stopped answering. Try again in a moment; if it "
                          "stays silent for %1 seconds, Load Show starts it afresh.")
        .arg(std::chrono::duration_cast<std::chrono::seconds>(officeLimits().silence).count());
}

QString fromOUString(const rtl::OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

QString userName(uid_t uid) {
    if (const passwd* entry = getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QStringLiteral("user id %1").arg(uid);
}

OfficeLimits& limits() {
    static OfficeLimits value;
    return value;
}

// Quenvar's own side of UNO, made once. Without URE_BOOTSTRAP pointing at the office's
// fundamentalrc the client context lacks the type library and Desktop::create crashes.
Reference<uno::XComponentContext> localContext() {
    // Never destroyed, like the connection: the UNO runtime tears itself down at exit first.
    static const Reference<uno::XComponentContext>& context =
        *new Reference<uno::XComponentContext>([] {
            // The bridge writes to the pipe without asking the system to spare it the signal: a
            // request that meets an office that has just died would end Quenvar.
            ::signal(SIGPIPE, SIG_IGN);
            rtl::Bootstrap::set(
                ou("URE_BOOTSTRAP"),
                ou("vnd.sun.star.pathname:/usr/lib/libreoffice/program/fundamentalrc"));
            return cppu::defaultBootstrap_InitialComponentContext();
        }());
    return context;
}

// The office's pipe as the bridge's connection, connected and checked by OfficeProcess::Pipe. The
// bridge reads on a thread of its own while calls write.
class PipeConnection : public cppu::WeakImplHelper1<connection::XConnection> {
public:
    explicit PipeConnection(int fd) : m_fd(fd) {}
    ~PipeConnection() override { ::close(m_fd); }

    sal_Int32 SAL_CALL read(uno::Sequence<sal_Int8>& bytes, sal_Int32 count) override {
        bytes.realloc(count);
        sal_Int32 done = 0;
        while (done < count) {
            const ssize_t got = ::read(m_fd, bytes.getArray() + done, size_t(count - done));
            if (got > 0)
                done += sal_Int32(got);
            else if (got == 0) // the office closed its end: the bridge ends on a short read
                break;
            else if (errno != EINTR)
                throw io::IOException(toOUString(QString::fromLocal8Bit(std::strerror(errno))));
        }
        bytes.realloc(done);
        return done;
    }
    void SAL_CALL write(const uno::Sequence<sal_Int8>& bytes) override {
        for (sal_Int32 done = 0; done < bytes.getLength();) {
            const ssize_t sent = ::send(m_fd, bytes.getConstArray() + done,
                                        size_t(bytes.getLength() - done), MSG_NOSIGNAL);
            if (sent >= 0)
                done += sal_Int32(sent);
            else if (errno != EINTR)
                throw io::IOException(toOUString(QString::fromLocal8Bit(std::strerror(errno))));
        }
    }
    void SAL_CALL flush() override {}
    // Ends a read blocked on the pipe; the descriptor itself goes with the last reference.
    void SAL_CALL close() override { ::shutdown(m_fd, SHUT_RDWR); }
    rtl::OUString SAL_CALL getDescription() override { return ou("pipe"); }

private:
    const int m_fd;
};

OfficeProcess& officeProcess() {
    static OfficeProcess process;
    return process;
}

} // namespace

const OfficeLimits& officeLimits() {
    return limits();
}

void setOfficeLimits(const OfficeLimits& value) {
    limits() = value;
}

Office::Office() : m_link(std::make_shared<Link>()), m_calls(kImpressName, stoppedText()) {}

std::shared_ptr<Office> Office::connect() {
    // Never destroyed: releasing UNO references while the process exits would outlive the UNO
    // runtime's own teardown.
    static std::shared_ptr<Office>& current = *new std::shared_ptr<Office>;
    OfficeProcess& process = officeProcess();

    // The office of the shows running now is waited for while it may still answer: replacing it
    // would take them all off the screens.
    while (current && !current->closed()) {
        if (current->probe())
            return current;
        if (!process.running())
            break;
        if (Clock::now() - current->m_silentSince.value_or(Clock::now()) >=
            officeLimits().silence) {
            process.kill();
            break;
        }
        BoundedCall::pause(kPollInterval);
    }
    current.reset();
    current = reach(process);
    return current;
}

std::shared_ptr<Office> Office::reach(OfficeProcess& process) {
    // For an office of ours that this run did not start: since when it has not answered.
    const Clock::time_point since = Clock::now();
    std::shared_ptr<Office> office(new Office);
    for (;;) {
        if (office->closed())
            office.reset(new Office);
        OfficeProcess::Peer other;
        switch (process.listener(&other)) {
        case OfficeProcess::Listener::Ours:
            if (office->probe()) {
                process.endStarting();
                return office;
            }
            break;
        case OfficeProcess::Listener::Stranger: {
            // Whoever it is would get every show and could answer in the office's name. The
            // refusal is Quenvar's own: the office had no part in it.
            const QString path = process.socketPath();
            process.renewPipeName();
            const QString who = other.uid == ::getuid()
                                    ? QStringLiteral("Another program (process %1)").arg(other.pid)
                                    : QStringLiteral("Another user (%1)").arg(userName(other.uid));
            throw platform::Failure(
                platform::kProgramName,
                QStringLiteral("%1 holds %2, the pipe on which LibreOffice Impress should "
                               "answer; Quenvar sent nothing there. Press Load Show again to "
                               "start LibreOffice Impress on a new pipe.")
                    .arg(who, path));
        }
        case OfficeProcess::Listener::None:
        case OfficeProcess::Listener::Busy:
            break;
        }

        if (!process.running()) {
            if (process.startingSince()) {
                process.endStarting();
                throw platform::Failure(
                    kImpressName,
                    QStringLiteral("LibreOffice Impress closed while it was starting. Press Load "
                                   "Show to try again; if it closes again, start LibreOffice "
                                   "Impress once from the menu to see what stops it."));
            }
            // Clears the lock a killed office leaves in the profile.
            process.kill();
            QString reason;
            // No office to start: nothing of the presentation program exists to report it, so
            // Quenvar does.
            if (!process.start(&reason))
                throw platform::Failure(platform::kProgramName, reason);
        } else if (const auto starting = process.startingSince()) {
            if (Clock::now() - *starting >= officeLimits().start) {
                process.kill();
                process.endStarting();
                throw platform::Failure(
                    kImpressName,
                    QStringLiteral("LibreOffice Impress was started but did not answer within "
                                   "%1 seconds.")
                        .arg(std::chrono::duration_cast<std::chrono::seconds>(officeLimits().start)
                                 .count()));
            }
        } else if (Clock::now() - since >= officeLimits().silence) {
            // Ours, running and silent all this time: it serves no one like this, and no other
            // office can start on its profile while it runs.
            process.kill();
        }
        BoundedCall::pause(kPollInterval);
    }
}

bool Office::ask(Link& link, const OfficeProcess::Pipe& pipe) {
    bool answered = false;
    try {
        if (link.desktop.is()) {
            link.desktop->getFrames();
            answered = true;
        } else if (const int fd = pipe.connect(); fd >= 0) {
            const Reference<connection::XConnection> connection(new PipeConnection(fd));
            const Reference<bridge::XBridge> bridge =
                bridge::BridgeFactory::create(localContext())
                    ->createBridge({}, ou("urp"), connection, nullptr);
            const Reference<uno::XComponentContext> context(
                bridge->getInstance(ou("StarOffice.ComponentContext")), uno::UNO_QUERY_THROW);
            const Reference<frame::XDesktop2> desktop = frame::Desktop::create(context);
            link.context = context;
            link.desktop = desktop;
            answered = true;
        }
    } catch (const lang::DisposedException&) {
        link.closed = true;
    } catch (const uno::Exception&) {
        // A connected office that throws has answered all the same.
        answered = link.desktop.is();
    }
    if (answered)
        link.answeredLate = true;
    link.probing = false;
    return answered;
}

bool Office::probe() {
    if (m_link->closed)
        return false;
    m_calls.refuseNested();
    // The probe before is still on its way: it is waited for again rather than joined by another
    // worker stuck in the office.
    const Link& link = *m_link;
    if (link.probing &&
        !BoundedCall::waitFor(officeLimits().probe, [&link] { return !link.probing; }))
        return false;
    if (!m_link->answeredLate.exchange(false)) {
        // Cleared by the probe when it comes back, however late.
        m_link->probing = true;
        try {
            const bool answered = m_calls.run(
                [link = m_link, pipe = officeProcess().pipe()] { return ask(*link, pipe); },
                officeLimits().probe);
            m_link->answeredLate = false;
            if (!answered)
                return false;
        } catch (const BoundedCall::Overrun&) {
            noteSilence();
            return false;
        }
    }
    m_silentSince.reset();
    return true;
}

void Office::checkAnswering() {
    if (closed())
        throw closedFailure();
    if (m_silentSince && !probe())
        throw closed() ? closedFailure() : platform::Failure(kImpressName, stoppedText());
}

void Office::noteSilence() {
    if (!m_silentSince)
        m_silentSince = Clock::now();
}

void Office::noteShowStarted() {
    officeProcess().noteShowStarted();
}

platform::Failure Office::translate(const uno::Exception& error) {
    QString text = fromOUString(error.Message).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("LibreOffice Impress refused the request.");
    return {kImpressName, text};
}

platform::Failure Office::closedFailure() {
    return {kImpressName, kClosed};
}

void setWaitPass(std::function<void()> pass) {
    BoundedCall::setWaitPass(std::move(pass));
}

void Office::prepare() {
    // Started now, the office is ready by the time a file is picked. A failure to start is left
    // for Load Show to meet and report.
    OfficeProcess& process = officeProcess();
    if (process.running())
        return;
    process.kill();
    if (process.start(nullptr))
        warmUp(process.pipe(), process.profileDir() + QStringLiteral("/warm-up.odp"));
}

void Office::warmUp(const OfficeProcess::Pipe& pipe, const QString& file) {
    std::thread([pipe, file, deadline = Clock::now() + officeLimits().start] {
        Link link;
        while (!ask(link, pipe)) {
            if (link.closed || Clock::now() >= deadline)
                return;
            std::this_thread::sleep_for(kPollInterval);
        }
        // What the office does slowly the first time is to read a presentation file: an empty
        // presentation is written to a file of the profile and read back as decks are. Hidden,
        // neither has a window.
        const rtl::OUString fileUrl =
            toOUString(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
        try {
            const Reference<frame::XComponentLoader> loader(link.desktop, uno::UNO_QUERY_THROW);
            const beans::PropertyValue hidden[] = {property("Hidden", uno::Any(true)),
                                                   property("AsTemplate", uno::Any(true))};
            auto load = [&](const rtl::OUString& from) {
                return Reference<util::XCloseable>(
                    loader->loadComponentFromURL(from, ou("_blank"), 0,
                                                 {hidden, std::size(hidden)}),
                    uno::UNO_QUERY_THROW);
            };
            const Reference<util::XCloseable> empty = load(ou("private:factory/simpress"));
            const beans::PropertyValue store[] = {property("FilterName", uno::Any(ou("impress8"))),
                                                  property("Overwrite", uno::Any(true))};
            Reference<frame::XStorable>(empty, uno::UNO_QUERY_THROW)
                ->storeToURL(fileUrl, {store, 2});
            empty->close(true);
            load(fileUrl)->close(true);
        } catch (const uno::Exception&) {
            // Only time is lost: the first deck loads as it would have.
        }
        QFile::remove(file);
    }).detach();
}

void prepareImpress() {
    Office::prepare();
}

void releaseUnusedImpress() {
    // It is asked to end first: a profile it is still writing to is left whole.
    OfficeProcess& process = officeProcess();
    if (process.startedUnused() && process.running())
        process.kill(3s);
}

} // namespace show::impress
