#pragma once
// What a process without a window starts from: the data folder and the settings saved in it.

#include <filesystem>
#include <optional>

#include "app/schedule.h"
#include "job/handled_message_ids.h"
#include "job/interface_texts.h"
#include "job/job_parameters.h"
#include "settings/settings_file.h"

namespace zendrel {

struct SavedSettings {
    std::filesystem::path dataFolder;
    SettingsRecord record;
};

// Finds and prepares the data folder (ZENDREL_DATA_DIR or the common application-data folder) and loads the
// settings as the window's start-up does: the texts switch to the stored language, the handled Message-IDs are
// forgotten. None when the system names no data folder.
std::optional<SavedSettings> PrepareAndLoadSettings(InterfaceTexts& texts, HandledMessageIds& handledMessageIds);

// The run's parameters as a run start takes them from the controls; the extension list is prepared for matching.
void FillJobParameters(const SettingsRecord& record, bool serviceMode, JobParameters& parameters);

ScheduleControls ScheduleControlsOf(const SettingsRecord& record);

}  // namespace zendrel
