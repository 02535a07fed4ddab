// The office's questions while it opens a deck, answered without a window. Loading a document
// for a client, the office brings its standard dialogs (a file to repair, a password to type, a
// filter to choose) in front of everything unless it is given a handler of the client's own, and
// the load then waits for a person at the kiosk who is not there. This handler answers each
// question as someone who only wants the deck shown would: warnings are passed over, anything else
// is declined, and the load ends in a plain failure. A password question is noted, so that the
// failure can say why.
//
// The office calls handle() on a thread of the UNO bridge, even after Load Show has stopped
// waiting for the load: the handler touches nothing but its own state.
#pragma once

#include <atomic>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <cppuhelper/implbase1.hxx>

namespace show::impress {

class QuietInteraction final : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
public:
    void SAL_CALL
    handle(const css::uno::Reference<css::task::XInteractionRequest>& request) override;

    // True once the office has asked for a password to open the document.
    bool askedForPassword() const { return m_askedForPassword; }

private:
    std::atomic<bool> m_askedForPassword = false;
};

} // namespace show::impress
