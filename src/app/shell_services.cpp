#include "app/shell_services.h"

#include <cstdlib>

#include "platform/known_folders.h"

namespace zendrel {

ShellServices::ShellServices() : run_(texts_, handledMessageIds_) {}

ShellParts ShellServices::Parts(MainView& mainView, AdvancedView& advancedView, OAuthSettingsView& oauthView,
                                const DataFolderPlaces& places) {
    signIn_ = CreateWindowSignIn(places.dataFolder);
    ShellParts parts;
    parts.mainView = &mainView;
    parts.advancedView = &advancedView;
    parts.oauthView = &oauthView;
    parts.signIn = signIn_.get();
    parts.serviceController = serviceController_.get();
    parts.shortcuts = shortcuts_.get();
    parts.system = system_.get();
    parts.run = &run_;
    parts.locks = locks_.get();
    parts.texts = texts_;
    parts.handledMessageIds = handledMessageIds_;
    parts.logFiles = &files_;
    parts.places = places;
    parts.defaultSaveDir = GetSpecialFolderPath(SpecialFolder::kProfile);
    return parts;
}

DataFolderPlaces LocateProgramDataFolder() {
    return LocateDataFolder(SpecialFolderLocation(SpecialFolder::kCommonAppData),
                            SpecialFolderLocation(SpecialFolder::kAppData), std::getenv(kDataFolderVariable));
}

}  // namespace zendrel
