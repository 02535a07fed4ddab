#include "show/impress/ImpressApplication.h"

namespace show::impress {

std::shared_ptr<PpApplication> createImpressApplication() {
    throw platform::Failure(platform::kProgramName,
                            QStringLiteral("LibreOffice Impress is not connected yet."));
}

} // namespace show::impress
