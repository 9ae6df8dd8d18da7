#include "platform/startup_shortcut.h"

namespace zendrel {
namespace {

// No shell links here: no shortcut is ever found or made, and the shortcut check box has nothing to do.
class UnavailableStartupShortcuts final : public StartupShortcuts {
public:
    bool Available() const override { return false; }
    int CreateShortcut(const std::string&, const std::string&, const std::string&, const std::string&,
                       const std::string&) override {
        return 0;
    }
    std::string GetShortcutTarget(const std::string&) override { return ""; }
    std::string FindStartupShortcut() override { return ""; }
    bool DeleteShortcut(const std::string&) override { return false; }
};

}  // namespace

std::unique_ptr<StartupShortcuts> CreateStartupShortcuts() { return std::make_unique<UnavailableStartupShortcuts>(); }

}  // namespace zendrel
