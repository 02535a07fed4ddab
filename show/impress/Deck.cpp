#include "show/impress/Deck.h"

#include "show/impress/ShowPlacement.h"

#include <com/sun/star/awt/PosSize.hpp>
#include <com/sun/star/presentation/XPresentation2.hpp>
#include <com/sun/star/presentation/XPresentationSupplier.hpp>

namespace show::impress {

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace {

const QString kNotRunning =
    QStringLiteral("The slide show is not running. Press Load Show to start it again.");

} // namespace

Reference<presentation::XSlideShowController> Deck::controller() const {
    const Reference<presentation::XPresentationSupplier> supplier(document, UNO_QUERY_THROW);
    const Reference<presentation::XPresentation2> show(supplier->getPresentation(),
                                                       UNO_QUERY_THROW);
    if (!show->isRunning())
        throw platform::Failure(kImpressName, kNotRunning);
    const Reference<presentation::XSlideShowController> result = show->getController();
    if (!result.is() || !result->isRunning())
        throw platform::Failure(kImpressName, kNotRunning);
    return result;
}

void Deck::place() {
    const QRect r = showRectangle(left, top, width, aspect);
    office->call([this, r] {
        window->setPosSize(r.x(), r.y(), r.width(), r.height(), awt::PosSize::POSSIZE);
    });
}

} // namespace show::impress
