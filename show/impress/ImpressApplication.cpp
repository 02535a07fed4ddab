#include "show/impress/ImpressApplication.h"

#include "show/impress/Office.h"
#include "show/impress/ShowPlacement.h"

#include <com/sun/star/animations/XAnimationNodeSupplier.hpp>
#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/WindowAttribute.hpp>
#include <com/sun/star/awt/WindowClass.hpp>
#include <com/sun/star/awt/WindowDescriptor.hpp>
#include <com/sun/star/awt/XToolkit2.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XVclWindowPeer.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/document/XTypeDetection.hpp>
#include <com/sun/star/drawing/XDrawPages.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/frame/Frame.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController2.hpp>
#include <com/sun/star/frame/XFrame2.hpp>
#include <com/sun/star/frame/XFrames.hpp>
#include <com/sun/star/frame/XLayoutManager.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/presentation/XPresentation2.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>
#include <com/sun/star/presentation/XSlideShowController.hpp>
#include <com/sun/star/ui/XSidebarProvider.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <QFileInfo>
#include <QUrl>
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

const QString kNotInView = QStringLiteral("No slide is currently in view: the slide show has come "
                                          "to its end. Press Goto to go back to a slide.");
const QString kNotRunning =
    QStringLiteral("The slide show is not running. Press Load Show to start it again.");

// Where the show window stands until Load Show places it: the second of two 1024 x 768 displays.
constexpr float kInitialLeft = 769.0f;
constexpr float kInitialTop = 0.0f;
constexpr float kInitialWidth = 768.0f;

rtl::OUString toOUString(const QString& text) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), text.size());
}

beans::PropertyValue property(const char* name, Any value) {
    beans::PropertyValue result;
    result.Name = rtl::OUString::createFromAscii(name);
    result.Value = std::move(value);
    return result;
}

// One opened document and its show window, shared by every object that reaches it.
struct Deck {
    std::shared_ptr<Office> office;
    Reference<lang::XComponent> document;
    Reference<frame::XFrame2> frame;
    Reference<awt::XWindow> window;
    double aspect = 0.75;
    int32_t count = 0;
    float left = kInitialLeft;
    float top = kInitialTop;
    float width = kInitialWidth;

    // Runs on the office's worker.
    Reference<presentation::XSlideShowController> controller() const {
        const Reference<presentation::XPresentationSupplier> supplier(document, UNO_QUERY_THROW);
        const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                           UNO_QUERY_THROW);
        if (!show->isRunning())
            throw Failure(kImpressName, kNotRunning);
        const Reference<presentation::XSlideShowController> result = show->getController();
        if (!result.is() || !result->isRunning())
            throw Failure(kImpressName, kNotRunning);
        return result;
    }

    void place() {
        const QRect r = showRectangle(left, top, width, aspect);
        office->call([this, r] {
            window->setPosSize(r.x(), r.y(), r.width(), r.height(), awt::PosSize::POSSIZE);
        });
    }
};

class ImpressSlide final : public PpSlide {
public:
    explicit ImpressSlide(int32_t index) : m_index(index) {}
    int32_t SlideIndex() override { return m_index; }

private:
    int32_t m_index;
};

class ImpressSlides final : public PpSlides {
public:
    explicit ImpressSlides(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}
    std::shared_ptr<PpSlide> Item(int16_t index) override {
        const int32_t count = Count();
        if (index < 1 || index > count)
            throw Failure(kImpressName, QStringLiteral("There is no slide %1: the presentation "
                                                       "has slides 1 to %2.")
                                            .arg(index)
                                            .arg(count));
        return std::make_shared<ImpressSlide>(index);
    }
    int32_t Count() override {
        return m_deck->office->call([this] {
            const Reference<drawing::XDrawPagesSupplier> supplier(m_deck->document,
                                                                  UNO_QUERY_THROW);
            return static_cast<int32_t>(supplier->getDrawPages()->getCount());
        });
    }

private:
    std::shared_ptr<Deck> m_deck;
};

// Whether the slide now shown has animation effects that a click would play before the next
// slide comes.
bool hasEffects(const Reference<presentation::XSlideShowController>& controller) {
    const Reference<animations::XAnimationNodeSupplier> supplier(controller->getCurrentSlide(),
                                                                 UNO_QUERY);
    if (!supplier.is())
        return false;
    const Reference<container::XEnumerationAccess> root(supplier->getAnimationNode(), UNO_QUERY);
    return root.is() && root->createEnumeration()->hasMoreElements();
}

class ImpressView final : public PpSlideShowView {
public:
    explicit ImpressView(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    // The show engine plays a click's effect and any slide change it brings on its own clock:
    // gotoNextEffect returns before the slide has changed, so the index read straight after it
    // is still the old one. A slide without effects changes at once through gotoNextSlide, which
    // is what the click would do there; past the last slide both lead to the show's end screen.
    void Next() override {
        m_deck->office->call([this] {
            const auto controller = m_deck->controller();
            if (controller->isPaused())
                return; // the end screen: a click there would close the show
            if (hasEffects(controller))
                settle(controller, [&] { controller->gotoNextEffect(); });
            else
                controller->gotoNextSlide();
        });
    }
    void Previous() override {
        m_deck->office->call([this] {
            const auto controller = m_deck->controller();
            if (controller->isPaused()) {
                // From the end screen back to the last slide: gotoPreviousSlide would skip it,
                // as the index still names the last slide there.
                const sal_Int32 last = controller->getCurrentSlideIndex();
                controller->resume();
                controller->gotoSlideIndex(last);
            } else if (hasEffects(controller)) {
                settle(controller, [&] { controller->gotoPreviousEffect(); });
            } else {
                controller->gotoPreviousSlide();
            }
        });
    }
    void GotoSlide(int32_t index, bool /*resetSlide: a slide is always entered afresh*/) override {
        m_deck->office->call([this, index] {
            const auto controller = m_deck->controller();
            const int32_t count = controller->getSlideCount();
            if (index < 1 || index > count)
                throw Failure(kImpressName, QStringLiteral("There is no slide %1: the "
                                                           "presentation has slides 1 to %2.")
                                                .arg(index)
                                                .arg(count));
            if (controller->isPaused())
                controller->resume();
            controller->gotoSlideIndex(index - 1);
        });
    }
    std::shared_ptr<PpSlide> Slide() override {
        return m_deck->office->call([this] {
            const auto controller = m_deck->controller();
            const int32_t index = controller->getCurrentSlideIndex();
            if (controller->isPaused() || index < 0)
                throw Failure(kImpressName, kNotInView);
            return std::make_shared<ImpressSlide>(index + 1);
        });
    }

private:
    // Gives the engine a moment to turn the effect into a slide change, if it brings one.
    template <typename Move>
    static void settle(const Reference<presentation::XSlideShowController>& controller, Move move) {
        const sal_Int32 before = controller->getCurrentSlideIndex();
        move();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (controller->getCurrentSlideIndex() == before &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::shared_ptr<Deck> m_deck;
};

class ImpressShowWindow final : public PpSlideShowWindow {
public:
    explicit ImpressShowWindow(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    float Left() override { return m_deck->left; }
    void setLeft(float points) override { set(m_deck->left, points); }
    float Top() override { return m_deck->top; }
    void setTop(float points) override { set(m_deck->top, points); }
    float Width() override { return m_deck->width; }
    void setWidth(float points) override { set(m_deck->width, points); }

    void Activate() override {
        m_deck->office->call([this] {
            m_deck->controller();
            const Reference<awt::XTopWindow> top(m_deck->window, UNO_QUERY);
            if (top.is())
                top->toFront();
            m_deck->frame->activate();
            m_deck->window->setFocus();
        });
    }
    std::shared_ptr<PpSlideShowView> View() override {
        return std::make_shared<ImpressView>(m_deck);
    }

private:
    void set(float& member, float points) {
        member = points;
        m_deck->place();
    }

    std::shared_ptr<Deck> m_deck;
};

class ImpressSettings final : public PpSlideShowSettings {
public:
    explicit ImpressSettings(std::shared_ptr<Deck> deck) : m_deck(std::move(deck)) {}

    std::shared_ptr<PpSlideShowWindow> Run() override {
        Office& office = *m_deck->office;
        office.call(
            [this] {
                const Reference<presentation::XPresentationSupplier> supplier(m_deck->document,
                                                                              UNO_QUERY_THROW);
                const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                                   UNO_QUERY_THROW);
                // In a window of its own, not full screen: only a window can be put on the
                // pixels Load Show asks for. Slide timings of the file do not advance it: the
                // operator and the timer do.
                show->setPropertyValue(ou("IsFullScreen"), Any(false));
                show->setPropertyValue(ou("IsAlwaysOnTop"), Any(false));
                show->setPropertyValue(ou("IsEndless"), Any(false));
                show->setPropertyValue(ou("IsAutomatic"), Any(false));
                show->setPropertyValue(ou("StartWithNavigator"), Any(false));
                show->setPropertyValue(ou("UsePen"), Any(false));
                show->setPropertyValue(ou("IsTransitionOnClick"), Any(true));
                show->setPropertyValue(ou("AllowAnimations"), Any(true));
                show->setPropertyValue(ou("CustomShow"), Any(rtl::OUString()));
                show->setPropertyValue(ou("FirstPage"), Any(rtl::OUString()));
                m_deck->window->setVisible(true);
                // Over the windows of earlier shows, which are left running.
                const Reference<awt::XTopWindow> top(m_deck->window, UNO_QUERY);
                if (top.is())
                    top->toFront();
                show->start();
            },
            kLoadTimeout);

        // The controller comes a moment after start() returns.
        const auto deadline = std::chrono::steady_clock::now() + kCallTimeout;
        for (;;) {
            const bool ready = office.call([this] {
                const Reference<presentation::XPresentationSupplier> supplier(m_deck->document,
                                                                              UNO_QUERY_THROW);
                const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                                   UNO_QUERY_THROW);
                const Reference<presentation::XSlideShowController> controller =
                    show->getController();
                return controller.is() && controller->isRunning();
            });
            if (ready)
                break;
            if (std::chrono::steady_clock::now() > deadline)
                throw Failure(kImpressName,
                              QStringLiteral("The slide show did not start within %1 seconds.")
                                  .arg(kCallTimeout.count() / 1000));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }

        // The show's settings are document properties: left modified, the office would ask
        // whether to save them when it quits.
        office.call([this] {
            const Reference<util::XModifiable> modifiable(m_deck->document, UNO_QUERY);
            if (modifiable.is())
                modifiable->setModified(false);
        });
        return std::make_shared<ImpressShowWindow>(m_deck);
    }

private:
    std::shared_ptr<Deck> m_deck;
};

class ImpressPresentation final : public PpPresentation,
                                  public std::enable_shared_from_this<ImpressPresentation> {
public:
    ImpressPresentation(std::shared_ptr<Deck> deck, std::shared_ptr<PpApplication> application)
        : m_deck(std::move(deck)), m_application(std::move(application)) {}

    std::shared_ptr<PpSlideShowSettings> SlideShowSettings() override {
        return std::make_shared<ImpressSettings>(m_deck);
    }
    std::shared_ptr<PpSlideShowWindow> SlideShowWindow() override {
        m_deck->office->call([this] { m_deck->controller(); });
        return std::make_shared<ImpressShowWindow>(m_deck);
    }
    std::shared_ptr<PpApplication> Application() override { return m_application; }
    std::shared_ptr<PpSlides> Slides() override { return std::make_shared<ImpressSlides>(m_deck); }

private:
    std::shared_ptr<Deck> m_deck;
    std::shared_ptr<PpApplication> m_application;
};

class ImpressApplication;

class ImpressPresentations final : public PpPresentations {
public:
    ImpressPresentations(std::shared_ptr<Office> office, ImpressApplication& application,
                         std::shared_ptr<PpApplication> keepAlive)
        : m_office(std::move(office)), m_application(application),
          m_keepAlive(std::move(keepAlive)) {}
    std::shared_ptr<PpPresentation> Open(const QString& fileName) override;

private:
    std::shared_ptr<Office> m_office;
    ImpressApplication& m_application;
    std::shared_ptr<PpApplication> m_keepAlive;
};

class ImpressApplication final : public PpApplication,
                                 public std::enable_shared_from_this<ImpressApplication> {
public:
    explicit ImpressApplication(std::shared_ptr<Office> office) : m_office(std::move(office)) {}

    // The office shows its windows anyway; the show window appears when the show runs.
    bool Visible() override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }
    std::shared_ptr<PpPresentations> Presentations() override {
        return std::make_shared<ImpressPresentations>(m_office, *this, shared_from_this());
    }
    // The presentation this application opened last.
    std::shared_ptr<PpPresentation> ActivePresentation() override {
        const std::shared_ptr<PpPresentation> active = m_active.lock();
        if (!active)
            throw Failure(kImpressName, QStringLiteral("No presentation is open."));
        return active;
    }
    void setActive(const std::shared_ptr<PpPresentation>& presentation) { m_active = presentation; }
    void setSlideShowNextSlide(std::function<void()> handler) override {
        m_slideChanged = std::move(handler);
    }

private:
    std::shared_ptr<Office> m_office;
    bool m_visible = false;
    std::function<void()> m_slideChanged;
    // Weak: the presentation holds its application, as in the object model it stands for.
    std::weak_ptr<PpPresentation> m_active;
};

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

std::shared_ptr<PpPresentation> ImpressPresentations::Open(const QString& fileName) {
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
    deck->office = m_office;
    const rtl::OUString url =
        toOUString(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded));
    const QString damaged = QStringLiteral("%1 could not be opened: it is damaged or not a "
                                           "presentation that LibreOffice Impress can read.")
                                .arg(fileName);
    m_office->call(
        [&] {
            const rtl::OUString filter = presentationFilter(*m_office, url, fileName);
            if (filter.isEmpty())
                throw Failure(kImpressName, damaged);
            deck->frame = makeFrame(*m_office, &deck->window);
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
        },
        kLoadTimeout);

    auto result = std::make_shared<ImpressPresentation>(deck, m_keepAlive);
    m_application.setActive(result);
    return result;
}

} // namespace

std::shared_ptr<PpApplication> createImpressApplication() {
    return std::make_shared<ImpressApplication>(Office::connect());
}

void prepareImpress() {}

void releaseUnusedImpress() {}

} // namespace show::impress
