#pragma once
// The data folder: where the settings file and the log files live.

#include <filesystem>
#include <functional>

namespace zendrel {

// Names the data folder instead of the common application-data folder when set and not empty (tests, portable
// installs, several profiles side by side).
inline constexpr const char* kDataFolderVariable = "ZENDREL_DATA_DIR";

struct DataFolderPlaces {
    std::filesystem::path dataFolder;
    // Where an older version kept the settings file, taken over once; empty when there is none to look at.
    std::filesystem::path formerSettingsFile;
};

// The data folder is "Korvath/Tessaly/" below the common application-data folder; the former settings file lies at
// the same place below the user's own application-data folder. A non-empty `dataFolderVariable` names the data folder
// itself, and then nothing is taken over: a folder chosen that way must not pick up the user's own settings.
DataFolderPlaces LocateDataFolder(const std::filesystem::path& commonAppData,
                                  const std::filesystem::path& perUserAppData, const char* dataFolderVariable);

// Creates the data folder when it is missing. Only when a folder had to be created, a non-empty former settings file
// is copied into it, unless it already holds one. Failures are not reported: the program then runs on its defaults.
// `newFolderMadePrivate` is called with a folder just created, before anything goes into it: where the system's
// folders inherit their rights from above, the settings must not be readable for a moment by everyone.
void PrepareDataFolder(const DataFolderPlaces& places,
                       const std::function<void(const std::filesystem::path&)>& newFolderMadePrivate = {});

}  // namespace zendrel
