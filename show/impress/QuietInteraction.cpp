#include "show/impress/QuietInteraction.h"

#include <com/sun/star/task/ErrorCodeRequest.hpp>
#include <com/sun/star/task/PasswordRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionApprove.hpp>
#include <com/sun/star/task/XInteractionDisapprove.hpp>

namespace show::impress {

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;

namespace {

template <typename Choice>
Reference<task::XInteractionContinuation>
find(const uno::Sequence<Reference<task::XInteractionContinuation>>& continuations) {
    for (const Reference<task::XInteractionContinuation>& continuation : continuations)
        if (Reference<Choice>(continuation, UNO_QUERY).is())
            return continuation;
    return {};
}

} // namespace

void QuietInteraction::handle(const Reference<task::XInteractionRequest>& request) {
    const uno::Any question = request->getRequest();
    const auto continuations = request->getContinuations();
    // Every kind of password question (ODF, OOXML, the binary formats) derives from this one.
    if (cppu::UnoType<task::PasswordRequest>::get().isAssignableFrom(question.getValueType()))
        m_askedForPassword = true;

    // A warning (its code has the top bit set: a format read only in part, say) needs no answer but
    // "go on". Approval alone, with no way to decline, is a notice.
    task::ErrorCodeRequest error;
    const bool warning = (question >>= error) && (error.ErrCode & 0x80000000) != 0;
    Reference<task::XInteractionContinuation> choice;
    if (warning)
        choice = find<task::XInteractionApprove>(continuations);
    if (!choice.is())
        choice = find<task::XInteractionAbort>(continuations);
    if (!choice.is())
        choice = find<task::XInteractionDisapprove>(continuations);
    if (!choice.is())
        choice = find<task::XInteractionApprove>(continuations);
    if (choice.is())
        choice->select();
}

} // namespace show::impress
