#pragma once
// The texts the program shows to the user, in German and in English. Both lists are constant data of the program;
// switching the language only changes which of them is current.

#include <atomic>
#include <string_view>

namespace zendrel {

// Keys of the interface texts. The numbers are the positions in each list and must not change: the interval names
// and the service state names are read as consecutive runs of keys.
enum class TextKey : int {
    FramePreferences = 0,
    LabelServer = 1,
    LabelPort = 2,
    LabelUserName = 3,
    LabelPassword = 4,
    LabelInterval = 5,
    LabelStartTime = 6,
    LabelSaveDir = 7,
    ButtonAdvanced = 8,
    CheckShortcut = 9,
    CheckService = 10,
    CheckDeleteMails = 11,
    ButtonStart = 12,
    FrameLog = 13,
    TipDonate = 14,
    TipClearLog = 15,
    TitleAdvanced = 16,
    LabelSearchString = 17,
    LabelExtensions = 18,
    LabelAllowedSenders = 19,
    LabelBlockedSenders = 20,
    ButtonAdd = 21,
    ButtonDelete = 22,
    MsgLoggedIn = 23,
    MsgFileSaved = 24,
    MsgLoggedOut = 25,
    ErrNoServer = 26,
    ErrNoLogin = 27,
    ErrUnknownUser = 28,
    ErrWrongPassword = 29,
    Interval5Minutes = 30,
    Interval10Minutes = 31,
    Interval15Minutes = 32,
    Interval30Minutes = 33,
    IntervalHourly = 34,
    Interval2Hours = 35,
    Interval4Hours = 36,
    Interval6Hours = 37,
    Interval8Hours = 38,
    Interval12Hours = 39,
    IntervalDaily = 40,
    ServiceNotInstalled = 41,
    ServiceStopped = 42,
    ServiceStartPending = 43,
    ServiceStopPending = 44,
    ServiceRunning = 45,
    ServiceContinuePending = 46,
    ServicePausePending = 47,
    ServicePaused = 48,
    TipTrayService = 49,
    TipTrayRestore = 50,
    StatusNextStart = 51,
    StatusExamining = 52,
    TitleChooseFolder = 53,
    ButtonStop = 54,
    ProductDescription = 55,
    MsgServiceInstalled = 56,
    MsgRunningInBackground = 57,
    MsgHowToReconfigure = 58,
    ErrInstallService = 59,
    ErrInstallRights = 60,
    MsgServiceHalted = 61,
    TitleAddEmail = 62,
    TitleUninstall = 63,
    AskUninstall = 64,
    MsgServiceUninstalled = 65,
    ErrUninstallService = 66,
    ErrUninstallRights = 67,
    PromptEmail = 68,
    MsgSearching = 69,
    ErrFileNotSaved = 70,
    ErrConnection = 71,
    ErrRunFailed = 72,  // something inside a run failed that the run could not handle (out of memory, say)
    ErrCertificate = 73,
    ErrNoStartTls = 74,
    LabelSecurity = 75,
    SecurityNone = 76,
    SecurityStartTls = 77,
    SecurityTls = 78,
    // The window's commands beside the schedule, the tray's menu and the advanced window's button.
    MenuRunNow = 79,
    MenuCheckConnection = 80,
    MenuShow = 81,
    MenuQuit = 82,
    ButtonClose = 83,
    // What a connection check found, and why the start button is disabled.
    MsgConnected = 84,
    TipNoSaveDir = 85,
    TipSaveDirMissing = 86,
    TipNoUserName = 87,
    TipNoServer = 88,
    TipBadPort = 89,
    TipNoInterval = 90,
    // The line after ErrNoServer that says where and why the connection failed.
    ErrConnectDetail = 91,
    ReasonRefused = 92,
    ReasonNoSuchHost = 93,
    ReasonTimedOut = 94,
    ReasonTlsHandshake = 95,
    // A run that found another one on the same data folder, and texts the views show.
    MsgRunSkipped = 96,
    TipNoServiceManager = 97,
    TipRefusedCharacter = 98,
    // Where the files go: the advanced window's choices, and why a file could not be saved.
    LabelExistingFiles = 99,
    RadioKeepBoth = 100,
    RadioReplace = 101,
    LabelSubFolder = 102,
    TipSubFolder = 103,
    TipSubFolderRefused = 104,
    CheckSaveInline = 105,
    ReasonFolderMissing = 106,
    ReasonNoPermission = 107,
    ReasonDiskFull = 108,
    ReasonNameTooLong = 109,
    ReasonNotWritten = 110,
    ReasonNoFileName = 111,
    ReasonNotDecodable = 112,
    MsgOneFileNotSaved = 113,
    MsgFilesNotSaved = 114,
    // A server reply past its limit.
    ErrReplyTooLarge = 115,
    // The examined mails remembered across restarts.
    CheckRememberMails = 116,
    ErrRememberedUnreadable = 117,
    ErrRememberedUnwritten = 118,
    // A data folder that belongs to another user of the computer.
    ErrDataFolderDenied = 119,
    // The login with an OAuth 2.0 sign-in.
    ErrTokenOverPlainText = 120,
    ErrTokenRefused = 121,
    ErrNotSignedIn = 122,
    ErrSignInAgain = 123,
    ErrProviderUnreachable = 124,
};

inline constexpr int kTextCount = 125;

// Number of entries of the read interval list and of the service states (0 = not installed, 1..7 the system's).
inline constexpr int kIntervalCount = 11;
inline constexpr int kServiceStateCount = 8;

enum class Language { German, English };

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
    std::string_view ServiceStateText(int state) const;
    // The name of read interval position 0..10; empty outside that range.
    std::string_view IntervalText(int position) const;

private:
    // First text of the current list, which is one of the two static lists.
    std::atomic<const std::string_view*> current_;
};

}  // namespace zendrel
