// The set-up particular to a screen, after its fields are filled: the layout adapted to the
// dialog font, then what the screen's name calls for.
#include "base/Log.h"
#include "base/Text.h"
#include "screens/QVAppView.h"

int CQVAppView::SetupStateScreen(const std::string&) {
    return 0;
}
