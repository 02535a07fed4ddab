#include "show/impress/DeckLoader.h"

#include "show/impress/DeckCheck.h"
#include "show/impress/ImpressApplication.h"
#include "show/impress/QuietInteraction.h"
#include "show/impress/ShowPlacement.h"

#include <atomic>
#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/WindowAttribute.hpp>
#include <com/sun/star/awt/WindowClass.hpp>
#include <com/sun/star/awt/WindowDescriptor.hpp>
#include <com/sun/star/awt/XToolkit2.hpp>
#include <com/sun/star/awt/XToolkitExperimental.hpp>
#include <com/sun/star/awt/XVclWindowPeer.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XTypeDetection.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/Frame.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController2.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XLayoutManager.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>
#include <com/sun/star/ui/XSidebarProvider.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <QFileInfo>
#include <QUrl>
#include <rtl/ref.hxx>
#include <thread>

namespace show::impress {

using namespace css;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using platform::Failure;

namespace {

// The frame the document opens in: an undecorated window of its own, so that no title bar or
// border of the window manager sits on the second display, and so that the show can be placed by
// the pixel.
Reference<frame::XFrame2> makeFrame(Office& office, Reference<awt::XWindow>* window) {
    const Reference<awt::XToolkit2> toolkit = awt::Toolkit::create(office.context());
    awt::WindowDescriptor descriptor;
    descriptor.Type = awt::WindowClass_TOP;
    descriptor.WindowServiceName = ou("window");
    descriptor.ParentIndex = -1;
    const QRect r = showRectangle(kInitialLeft, kInitialTop, kInitialWidth, 0.75);
    descriptor.Bounds = awt::Rectangle(r.x(), r.y(), r.width(), r.height());
    descriptor.WindowAttributes = awt::WindowAttribute::NODECORATION;
    window->set(toolkit->createWindow(descriptor), UNO_QUERY_THROW);
    // Black where the show has not drawn yet, as around it, rather than the office's white.
    Reference<awt::XWindowPeer>(*window, UNO_QUERY_THROW)->setBackground(0x000000);

    const Reference<frame::XFrame2> result = frame::Frame::create(office.context());
    result->initialize(*window);
    result->setName(ou("QuenvarShow"));
    office.desktop()->getFrames()->append(Reference<frame::XFrame>(result, UNO_QUERY_THROW));
    return result;
}

// Nothing of the editing window belongs on the audience's display.
void hideEditingParts(const Reference<frame::XFrame2>& frame) {
    const Reference<beans::XPropertySet> properties(frame, UNO_QUERY);
    if (properties.is()) {
        Reference<frame::XLayoutManager> layout;
        properties->getPropertyValue(ou("LayoutManager")) >>= layout;
        if (layout.is()) {
            layout->hideElement(ou("private:resource/menubar/menubar"));
            layout->setVisible(false);
        }
    }
    const Reference<frame::XController2> controller(frame->getController(), UNO_QUERY);
    if (controller.is()) {
        const Reference<ui::XSidebarProvider> sidebar = controller->getSidebar();
        if (sidebar.is())
            sidebar->setVisible(false);
    }
}

// The office shows the editing window's bars and side bar again whenever the window is mapped, and
// only then can they be hidden. So the window is mapped a pixel small, where the bars come and go
// unseen, and stays so until its show starts: the editing view never reaches the audience.
void hideEditingPartsUnseen(Office& office, Deck& deck) {
    const QRect r = showRectangle(deck.left, deck.top, deck.width, deck.aspect);
    deck.window->setPosSize(r.x(), r.y(), 1, 1, awt::PosSize::POSSIZE);
    deck.window->setVisible(true);
    const Reference<awt::XToolkitExperimental> toolkit(awt::Toolkit::create(office.context()),
                                                       UNO_QUERY);
    if (toolkit.is())
        toolkit->processEventsToIdle();
    hideEditingParts(deck.frame);
    if (toolkit.is())
        toolkit->processEventsToIdle();
}

// The office's filter for the file, when the file is a presentation; empty when the office does
// not know what the file is. Throws Failure for a document of another kind: loaded, a text file
// would stop the office behind its import dialog.
rtl::OUString presentationFilter(Office& office, const rtl::OUString& url,
                                 const QString& fileName) {
    const Reference<lang::XMultiComponentFactory> factory = office.context()->getServiceManager();
    const Reference<document::XTypeDetection> detection(
        factory->createInstanceWithContext(ou("com.sun.star.document.TypeDetection"),
                                           office.context()),
        UNO_QUERY_THROW);
    Sequence<beans::PropertyValue> descriptor(1);
    descriptor.getArray()[0] = property("URL", Any(url));
    const rtl::OUString type = detection->queryTypeByDescriptor(descriptor, true);
    if (type.isEmpty())
        return {};

    auto find = [](const Sequence<beans::PropertyValue>& properties, const char* name) {
        rtl::OUString value;
        for (const beans::PropertyValue& p : properties)
            if (p.Name.equalsAscii(name))
                p.Value >>= value;
        return value;
    };
    Sequence<beans::PropertyValue> typeProperties;
    Reference<container::XNameAccess>(detection, UNO_QUERY_THROW)->getByName(type) >>=
        typeProperties;
    const rtl::OUString filter = find(typeProperties, "PreferredFilter");
    if (filter.isEmpty())
        return {};
    const Reference<container::XNameAccess> filters(
        factory->createInstanceWithContext(ou("com.sun.star.document.FilterFactory"),
                                           office.context()),
        UNO_QUERY_THROW);
    Sequence<beans::PropertyValue> filterProperties;
    if (filters->hasByName(filter))
        filters->getByName(filter) >>= filterProperties;
    if (find(filterProperties, "DocumentService") !=
        ou("com.sun.star.presentation.PresentationDocument"))
        throw Failure(kImpressName, QStringLiteral("%1 is not a presentation.").arg(fileName));
    return filter;
}

void closeQuietly(const Reference<frame::XFrame2>& frame) {
    const Reference<util::XCloseable> closeable(frame, UNO_QUERY);
    try {
        if (closeable.is())
            closeable->close(true);
    } catch (const uno::Exception&) {
    }
}
} // namespace

std::shared_ptr<Deck> openDeck(const std::shared_ptr<Office>& office, const QString& fileName) {
    const QFileInfo info(fileName);
    if (fileName.isEmpty())
        throw Failure(kImpressName, QStringLiteral("No file was given to open."));
    if (!info.exists())
        throw Failure(kImpressName, QStringLiteral("The file %1 does not exist.").arg(fileName));
    if (info.isDir())
        throw Failure(kImpressName,
                      QStringLiteral("%1 is a folder, not a presentation.").arg(fileName));
    if (!info.isReadable())
        throw Failure(
            kImpressName,
            QStringLiteral("The file %1 cannot be read: permission denied.").arg(fileName));

    const QString damaged = QStringLiteral("%1 could not be opened: it is damaged or not a "
                                           "presentation that LibreOffice Impress can read.")
                                .arg(fileName);
    // Read on a thread of its own, which owns all it uses: a large deck takes a while, and the
    // windows paint meanwhile.
    const auto sound = std::make_shared<std::atomic<int>>(-1);
    std::thread([sound, path = info.absoluteFilePath()] {
        *sound = packageLooksSound(path);
    }).detach();
    if (!BoundedCall::waitFor(kLoadTimeout, [&sound] { return *sound >= 0; }))
        throw Failure(kImpressName, QStringLiteral("The file %1 could not be read within %2 "
                                                   "seconds.")
                                        .arg(fileName)
                                        .arg(kLoadTimeout.count() / 1000));
    if (!*sound)
        throw Failure(kImpressName, damaged);
    const QString locked =
        QStringLiteral("%1 is protected by a password: Quenvar cannot show it.").arg(fileName);

    auto deck = std::make_shared<Deck>();
    deck->office = office;
    const rtl::OUString url =
        toOUString(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded));
    const rtl::Reference<QuietInteraction> answers = new QuietInteraction;
    // The job owns all it touches: when the load overruns, Load Show has returned before it ends.
    auto job = [office, deck, url, answers, damaged, locked, fileName,
                windowName = toOUString(kShowWindowTitlePrefix + info.fileName())] {
        const Reference<task::XInteractionHandler> handler(answers.get());
        const rtl::OUString filter = presentationFilter(*office, url, fileName);
        if (filter.isEmpty())
            throw Failure(kImpressName, damaged);
        deck->frame = makeFrame(*office, &deck->window);
        const beans::PropertyValue argumentList[] = {
            property("FilterName", Any(filter)),
            // As a copy, untitled: the show writes nothing back, and the office then neither
            // takes nor heeds the lock file beside the deck (left by an office that died, or
            // held by another office that has the deck open), so it never asks whether to open
            // a deck in use. Read-only would spare the lock as well, but a read-only deck's show
            // has been seen to stay black.
            property("AsTemplate", Any(true)),
            property("InteractionHandler", Any(handler)),
            property("MacroExecutionMode", Any(document::MacroExecMode::NEVER_EXECUTE)),
            property("UpdateDocMode", Any(document::UpdateDocMode::NO_UPDATE)),
            property("Silent", Any(true)),
            // Unmapped while it loads: mapped, the window would fill the whole screen, the
            // control window's display included (the office's window state for presentations
            // is maximised), until the show is placed.
            property("Minimized", Any(true)),
        };
        const Sequence<beans::PropertyValue> arguments(argumentList, std::size(argumentList));
        const Reference<frame::XComponentLoader> loader(deck->frame, UNO_QUERY_THROW);
        try {
            deck->document = loader->loadComponentFromURL(url, ou("_self"), 0, arguments);
        } catch (const io::IOException&) {
            // A declined question ends the load with an exception.
        } catch (const lang::IllegalArgumentException&) {
        }
        if (!deck->document.is()) {
            closeQuietly(deck->frame);
            throw Failure(kImpressName, answers->askedForPassword() ? locked : damaged);
        }
        const Reference<drawing::XDrawPagesSupplier> pages(deck->document, UNO_QUERY);
        const Reference<presentation::XPresentationSupplier> show(deck->document, UNO_QUERY);
        if (!pages.is() || !show.is()) {
            closeQuietly(deck->frame);
            throw Failure(kImpressName, QStringLiteral("%1 is not a presentation.").arg(fileName));
        }
        const Reference<drawing::XDrawPages> slides = pages->getDrawPages();
        deck->count = slides->getCount();
        if (deck->count > 0) {
            const Reference<beans::XPropertySet> first(slides->getByIndex(0), UNO_QUERY);
            sal_Int32 width = 0;
            sal_Int32 height = 0;
            if (first.is() && (first->getPropertyValue(ou("Width")) >>= width) &&
                (first->getPropertyValue(ou("Height")) >>= height) && width > 0)
                deck->aspect = double(height) / double(width);
        }
        // Named, so that the window system (and a test) can tell the show window.
        const Reference<frame::XTitle> title(deck->frame, UNO_QUERY);
        if (title.is())
            title->setTitle(windowName);
        const Reference<awt::XVclWindowPeer> peer(deck->window, UNO_QUERY);
        // The frame's title stays the frame's own for a window it did not make: the window
        // is named through its peer, the one door the API leaves (marked deprecated, and
        // still the only one).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (peer.is())
            peer->setProperty(ou("Title"), Any(windowName));
#pragma GCC diagnostic pop
        if (BoundedCall::callerGaveUp()) { // no show will run: the window must not come up
            closeQuietly(deck->frame);
            return;
        }
        hideEditingPartsUnseen(*office, *deck);
    };
    try {
        office->call(std::move(job), kLoadTimeout);
    } catch (const Failure&) {
        // The office died on the deck, and the running show with it.
        if (office->closed())
            throw Failure(kImpressName,
                          QStringLiteral("LibreOffice Impress closed while opening %1: the running "
                                         "slide show has stopped. Press Load Show to start again.")
                              .arg(fileName));
        throw;
    }
    return deck;
}

} // namespace show::impress
