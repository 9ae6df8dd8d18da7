#pragma once
// The texts the program shows to the user, in German and in English. Both lists are constant data of the program;
// switching the language only changes which of them is current.

#include <atomic>
#include <string_view>

#include "common/service_state.h"

namespace zendrel {

// Keys of the interface texts. The numbers are the positions in each list and must not change: the interval names
// and the service state names are read as consecutive runs of keys.
enum class TextKey : int {
    kFramePreferences = 0,
    kLabelServer = 1,
    kLabelPort = 2,
    kLabelUserName = 3,
    kLabelPassword = 4,
    kLabelInterval = 5,
    kLabelStartTime = 6,
    kLabelSaveDir = 7,
    kButtonAdvanced = 8,
    kCheckShortcut = 9,
    kCheckService = 10,
    kCheckDeleteMails = 11,
    kButtonStart = 12,
    kFrameLog = 13,
    kTipDonate = 14,
    kTipClearLog = 15,
    kTitleAdvanced = 16,
    kLabelSearchString = 17,
    kLabelExtensions = 18,
    kLabelAllowedSenders = 19,
    kLabelBlockedSenders = 20,
    kButtonAdd = 21,
    kButtonDelete = 22,
    kMsgLoggedIn = 23,
    kMsgFileSaved = 24,
    kMsgLoggedOut = 25,
    kErrNoServer = 26,
    kErrNoLogin = 27,
    kErrUnknownUser = 28,
    kErrWrongPassword = 29,
    kInterval5Minutes = 30,
    kInterval10Minutes = 31,
    kInterval15Minutes = 32,
    kInterval30Minutes = 33,
    kIntervalHourly = 34,
    kInterval2Hours = 35,
    kInterval4Hours = 36,
    kInterval6Hours = 37,
    kInterval8Hours = 38,
    kInterval12Hours = 39,
    kIntervalDaily = 40,
    kServiceNotInstalled = 41,
    kServiceStopped = 42,
    kServiceStartPending = 43,
    kServiceStopPending = 44,
    kServiceRunning = 45,
    kServiceContinuePending = 46,
    kServicePausePending = 47,
    kServicePaused = 48,
    kTipTrayService = 49,
    kTipTrayRestore = 50,
    kStatusNextStart = 51,
    kStatusExamining = 52,
    kTitleChooseFolder = 53,
    kButtonStop = 54,
    kProductDescription = 55,
    kMsgServiceInstalled = 56,
    kMsgRunningInBackground = 57,
    kMsgHowToReconfigure = 58,
    kErrInstallService = 59,
    kErrInstallRights = 60,
    kMsgServiceHalted = 61,
    kTitleAddEmail = 62,
    kTitleUninstall = 63,
    kAskUninstall = 64,
    kMsgServiceUninstalled = 65,
    kErrUninstallService = 66,
    kErrUninstallRights = 67,
    kPromptEmail = 68,
    kMsgSearching = 69,
    kErrFileNotSaved = 70,
    kErrConnection = 71,
    kErrRunFailed = 72,  // something inside a run failed that the run could not handle (out of memory, say)
    kErrCertificate = 73,
    kErrNoStartTls = 74,
    kLabelSecurity = 75,
    kSecurityNone = 76,
    kSecurityStartTls = 77,
    kSecurityTls = 78,
    // The window's commands beside the schedule, the tray's menu and the advanced window's button.
    kMenuRunNow = 79,
    kMenuCheckConnection = 80,
    kMenuShow = 81,
    kMenuQuit = 82,
    kButtonClose = 83,
    // What a connection check found, and why the start button is disabled.
    kMsgConnected = 84,
    kTipNoSaveDir = 85,
    kTipSaveDirMissing = 86,
    kTipNoUserName = 87,
    kTipNoServer = 88,
    kTipBadPort = 89,
    kTipNoInterval = 90,
    // The line after kErrNoServer that says where and why the connection failed.
    kErrConnectDetail = 91,
    kReasonRefused = 92,
    kReasonNoSuchHost = 93,
    kReasonTimedOut = 94,
    kReasonTlsHandshake = 95,
    // A run that found another one on the same data folder, and texts the views show.
    kMsgRunSkipped = 96,
    kTipNoServiceManager = 97,
    kTipRefusedCharacter = 98,
    // Where the files go: the advanced window's choices, and why a file could not be saved.
    kLabelExistingFiles = 99,
    kRadioKeepBoth = 100,
    kRadioReplace = 101,
    kLabelSubFolder = 102,
    kTipSubFolder = 103,
    kTipSubFolderRefused = 104,
    kCheckSaveInline = 105,
    kReasonFolderMissing = 106,
    kReasonNoPermission = 107,
    kReasonDiskFull = 108,
    kReasonNameTooLong = 109,
    kReasonNotWritten = 110,
    kReasonNoFileName = 111,
    kReasonNotDecodable = 112,
    kMsgOneFileNotSaved = 113,
    kMsgFilesNotSaved = 114,
    // A server reply past its limit.
    kErrReplyTooLarge = 115,
    // The examined mails remembered across restarts.
    kCheckRememberMails = 116,
    kErrRememberedUnreadable = 117,
    kErrRememberedUnwritten = 118,
    // A data folder that belongs to another user of the computer.
    kErrDataFolderDenied = 119,
    // The login with an OAuth 2.0 sign-in.
    kErrTokenOverPlainText = 120,
    kErrTokenRefused = 121,
    kErrNotSignedIn = 122,
    kErrSignInAgain = 123,
    kErrProviderUnreachable = 124,
    // The window's OAuth 2.0 sign-in: how the login is made, the sign-in's settings window, the sign-in's log lines.
    kLabelAuthentication = 125,
    kAuthPassword = 126,
    kAuthMicrosoft = 127,
    kAuthGoogle = 128,
    kAuthOther = 129,
    kButtonOAuthSettings = 130,
    kButtonSignIn = 131,
    kButtonCancelSignIn = 132,
    kStatusSignedInAs = 133,
    kStatusSignedIn = 134,
    kStatusNotSignedIn = 135,
    kTipNoSignIn = 136,
    kTitleOAuthSettings = 137,
    kLabelClientId = 138,
    kLabelClientSecret = 139,
    kLabelTenant = 140,
    kLabelAuthorizeUrl = 141,
    kLabelTokenUrl = 142,
    kLabelDeviceUrl = 143,
    kLabelScope = 144,
    kButtonOk = 145,
    kButtonCancel = 146,
    kMsgBadHttpsUrl = 147,
    kMsgBadTenant = 148,
    kMsgSignInWaiting = 149,
    kMsgSignInCancelled = 150,
    kMsgSignInTimedOut = 151,
    kErrSignInRefused = 152,
    kErrSignInNotStarted = 153,
};

inline constexpr int kTextCount = 154;

// Number of entries of the read interval list and of the service states (0 = not installed, 1..7 the system's).
inline constexpr int kIntervalCount = 11;

enum class Language { kGerman, kEnglish };

// The text of `key` in `language`, independent of any current choice. Windows-1252 bytes; placeholders such as
// "{FILE}" are left in for the caller to fill. The view refers to static data and never dangles.
std::string_view TextOf(Language language, TextKey key);

// The current interface texts. Starts in English, the language of the very first moments of the program.
// A mailbox run reads texts on its own thread while the window thread may switch languages, so the current list is
// a single atomic pointer to one of the two immutable lists: a reader sees either list whole, never a mixture.
class InterfaceTexts {
public:
    InterfaceTexts();
    InterfaceTexts(const InterfaceTexts&) = delete;
    InterfaceTexts& operator=(const InterfaceTexts&) = delete;

    // German when `language` lower-cased is exactly "german"; English for every other value, including "" and
    // "deutsch". Returns the language now current.
    Language ApplyLanguage(std::string_view language);
    Language CurrentLanguage() const;

    std::string_view Text(TextKey key) const;
    // The status bar name of a service state 0..7; any other value (a failed query) reads as state 0, not installed.
    std::string_view ServiceStateText(ServiceState state) const;
    // The name of read interval position 0..10; empty outside that range.
    std::string_view IntervalText(int position) const;

private:
    // First text of the current list, which is one of the two static lists.
    std::atomic<const std::string_view*> current_;
};

}  // namespace zendrel
