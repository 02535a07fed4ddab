#include "show/impress/Office.h"

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/ConnectionSetupException.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>
#include <thread>

namespace show::impress {

using namespace css;
using css::uno::Reference;

namespace {

const QString kClosed =
    QStringLiteral("LibreOffice Impress has closed. Press Load Show to start it again.");
const QString kStopped =
    QStringLiteral("LibreOffice Impress stopped answering. Press Load Show to start it again.");

QString fromOUString(const rtl::OUString& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getStr()), text.getLength());
}

// Quenvar's own side of UNO, made once. Without URE_BOOTSTRAP pointing at the office's
// fundamentalrc the client context lacks the type library and Desktop::create crashes.
Reference<uno::XComponentContext> localContext() {
    // Never destroyed, like the connection: the UNO runtime tears itself down at exit first.
    static const Reference<uno::XComponentContext>& context =
        *new Reference<uno::XComponentContext>([] {
            rtl::Bootstrap::set(
                ou("URE_BOOTSTRAP"),
                ou("vnd.sun.star.pathname:/usr/lib/libreoffice/program/fundamentalrc"));
            return cppu::defaultBootstrap_InitialComponentContext();
        }());
    return context;
}

OfficeProcess& officeProcess() {
    static OfficeProcess process;
    return process;
}

} // namespace

Office::Office() : m_calls(kImpressName, kStopped) {}

std::shared_ptr<Office> Office::connect() {
    // Never destroyed: releasing UNO references while the process exits would outlive the UNO
    // runtime's own teardown.
    static std::shared_ptr<Office>& current = *new std::shared_ptr<Office>;
    if (current && !current->spent() && current->answers())
        return current;

    bool hung = current && current->m_calls.stuck();
    current.reset();
    std::shared_ptr<Office> office(new Office);
    if (!hung) {
        if (office->tryResolve(3s))
            return current = office;
        hung = office->spent();
        if (hung)
            office.reset(new Office);
    }

    // Nothing answers on the pipe: the office never ran, died, or hangs. Ours is put down (it
    // cannot serve anyone like this) and a fresh one started.
    OfficeProcess& process = officeProcess();
    process.kill();
    QString reason;
    // No office to start: nothing of the presentation program exists to report it, so Quenvar does.
    if (!process.start(&reason))
        throw platform::Failure(platform::kProgramName, reason);
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (office->tryResolve(kCallTimeout))
            return current = office;
        // A starting office may take the pipe before it answers on it.
        if (office->spent())
            office.reset(new Office);
        std::this_thread::sleep_for(100ms);
    }
    throw platform::Failure(
        kImpressName,
        QStringLiteral("LibreOffice Impress was started but did not answer within "
                       "%1 seconds.")
            .arg(std::chrono::duration_cast<std::chrono::seconds>(kStartTimeout).count()));
}

bool Office::tryResolve(std::chrono::milliseconds timeout) {
    const rtl::OUString url =
        rtl::OUString(reinterpret_cast<const sal_Unicode*>(officeProcess().unoUrl().utf16()),
                      officeProcess().unoUrl().size());
    try {
        return call(
            [this, url] {
                try {
                    const Reference<bridge::XUnoUrlResolver> resolver =
                        bridge::UnoUrlResolver::create(localContext());
                    m_context.set(resolver->resolve(url), uno::UNO_QUERY_THROW);
                    m_desktop = frame::Desktop::create(m_context);
                    return true;
                } catch (const connection::NoConnectException&) {
                    return false;
                } catch (const connection::ConnectionSetupException&) {
                    return false;
                }
            },
            timeout);
    } catch (const platform::Failure&) {
        return false;
    }
}

bool Office::answers() {
    try {
        return call([this] { return m_desktop->getFrames().is(); }, 2s);
    } catch (const platform::Failure&) {
        return false;
    }
}

platform::Failure Office::translate(const uno::Exception& error) {
    QString text = fromOUString(error.Message).trimmed();
    if (text.isEmpty())
        text = QStringLiteral("LibreOffice Impress refused the request.");
    return {kImpressName, text};
}

platform::Failure Office::spentFailure() const {
    return {kImpressName, m_dead ? kClosed : kStopped};
}

} // namespace show::impress
