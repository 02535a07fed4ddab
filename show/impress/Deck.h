// One opened presentation and the window its show runs in, shared by every object of the
// presentation-program interface that reaches it, with the small helpers the backend's files share.
// The members are set while the deck is opened and used on the office's worker afterwards.
#pragma once

#include "show/impress/Office.h"

#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XFrame2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/presentation/XSlideShowController.hpp>
#include <memory>
#include <QString>

namespace show::impress {

// Where the show window stands until Load Show places it: the second of two 1024 x 768 displays.
inline constexpr float kInitialLeft = 769.0f;
inline constexpr float kInitialTop = 0.0f;
inline constexpr float kInitialWidth = 768.0f;

inline rtl::OUString toOUString(const QString& text) {
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), text.size());
}

inline css::beans::PropertyValue property(const char* name, css::uno::Any value) {
    css::beans::PropertyValue result;
    result.Name = rtl::OUString::createFromAscii(name);
    result.Value = std::move(value);
    return result;
}

struct Deck {
    std::shared_ptr<Office> office;
    css::uno::Reference<css::lang::XComponent> document;
    css::uno::Reference<css::frame::XFrame2> frame;
    css::uno::Reference<css::awt::XWindow> window;
    double aspect = 0.75;
    int32_t count = 0;
    float left = kInitialLeft;
    float top = kInitialTop;
    float width = kInitialWidth;

    // The running show's controller; throws Failure when the show is not running. Runs on the
    // office's worker.
    css::uno::Reference<css::presentation::XSlideShowController> controller() const;
    // Moves the show window to left, top and width.
    void place();
};

} // namespace show::impress
