#include "common/GuiApp.h"

#include <QGuiApplication>

#include <cstdlib>
#include <memory>

namespace fuzzsupport {

void ensureGuiApp()
{
    static std::unique_ptr<QGuiApplication> app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "quarn-fuzz";
        static char* argv[] = {name, nullptr};
        return std::make_unique<QGuiApplication>(argc, argv);
    }();
}

}  // namespace fuzzsupport
