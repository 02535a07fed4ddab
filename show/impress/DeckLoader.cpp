#include "show/impress/DeckLoader.h"

#include "show/impress/ImpressApplication.h"
#include "show/impress/ShowPlacement.h"

#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/WindowAttribute.hpp>
#include <com/sun/star/awt/WindowClass.hpp>
#include <com/sun/star/awt/WindowDescriptor.hpp>
#include <com/sun/star/awt/XToolkit2.hpp>
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
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>
#include <com/sun/star/ui/XSidebarProvider.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <QFileInfo>
#include <QUrl>

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
// the pixel. It stays hidden until the show starts.
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

    auto deck = std::make_shared<Deck>();
    deck->office = office;
    const rtl::OUString url =
        toOUString(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded));
    const QString damaged = QStringLiteral("%1 could not be opened: it is damaged or not a "
                                           "presentation that LibreOffice Impress can read.")
                                .arg(fileName);
    office->call(
        [=] {
            const rtl::OUString filter = presentationFilter(*office, url, fileName);
            if (filter.isEmpty())
                throw Failure(kImpressName, damaged);
            deck->frame = makeFrame(*office, &deck->window);
            // No interaction handler: a damaged file gives no document instead of a dialog.
            const beans::PropertyValue argumentList[] = {
                property("FilterName", Any(filter)),
                property("MacroExecutionMode", Any(document::MacroExecMode::NEVER_EXECUTE)),
                property("UpdateDocMode", Any(document::UpdateDocMode::NO_UPDATE)),
                property("Silent", Any(true)),
            };
            const Sequence<beans::PropertyValue> arguments(argumentList, 4);
            const Reference<frame::XComponentLoader> loader(deck->frame, UNO_QUERY_THROW);
            deck->document = loader->loadComponentFromURL(url, ou("_self"), 0, arguments);
            if (!deck->document.is()) {
                closeQuietly(deck->frame);
                throw Failure(kImpressName, damaged);
            }
            const Reference<drawing::XDrawPagesSupplier> pages(deck->document, UNO_QUERY);
            const Reference<presentation::XPresentationSupplier> show(deck->document, UNO_QUERY);
            if (!pages.is() || !show.is()) {
                closeQuietly(deck->frame);
                throw Failure(kImpressName,
                              QStringLiteral("%1 is not a presentation.").arg(fileName));
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
            hideEditingParts(deck->frame);
            // Named, so that the window system (and a test) can tell the show window.
            const Reference<frame::XTitle> title(deck->frame, UNO_QUERY);
            const rtl::OUString name = toOUString(kShowWindowTitlePrefix + info.fileName());
            if (title.is())
                title->setTitle(name);
            const Reference<awt::XVclWindowPeer> peer(deck->window, UNO_QUERY);
        // The frame's title stays the frame's own for a window it did not make: the window
        // is named through its peer, the one door the API leaves (marked deprecated, and
        // still the only one).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            if (peer.is())
                peer->setProperty(ou("Title"), Any(name));
#pragma GCC diagnostic pop
            if (BoundedCall::callerGaveUp()) // no show will run: the window must not stay up
                closeQuietly(deck->frame);
        },
        kLoadTimeout);

    return deck;
}

} // namespace show::impress
