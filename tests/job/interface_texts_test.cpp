#include "job/interface_texts.h"

#include "job/placeholders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <thread>

namespace zendrel {
namespace {

constexpr Language kLanguages[] = {Language::kGerman, Language::kEnglish};

const char* NameOf(Language language) {
    return language == Language::kGerman ? "German" : "English";
}

TextKey KeyAt(int index) {
    return static_cast<TextKey>(index);
}

// Every "{...}" token of a text, as a set.
std::set<std::string> PlaceholdersOf(std::string_view text) {
    std::set<std::string> tokens;
    for (std::size_t open = text.find('{'); open != std::string_view::npos; open = text.find('{', open + 1)) {
        const std::size_t close = text.find('}', open);
        if (close == std::string_view::npos) break;
        tokens.emplace(text.substr(open, close - open + 1));
    }
    return tokens;
}

struct LanguageCase {
    std::string value;
    Language chosen;
};

TEST(InterfaceTexts, OnlyGermanInAnyLetterCaseSelectsGerman) {
    const LanguageCase cases[] = {
        {"german", Language::kGerman},   {"German", Language::kGerman},   {"GERMAN", Language::kGerman},
        {"gErMaN", Language::kGerman},   {"english", Language::kEnglish}, {"", Language::kEnglish},
        {"deutsch", Language::kEnglish}, {"germany", Language::kEnglish}, {" german", Language::kEnglish},
        {"german ", Language::kEnglish}, {"germa", Language::kEnglish},
        {std::string("german\0", 7), Language::kEnglish},
    };
    for (const LanguageCase& c : cases) {
        InterfaceTexts texts;
        // Start from the opposite language so that a switch that does not happen is noticed.
        texts.ApplyLanguage(c.chosen == Language::kGerman ? "english" : "german");
        EXPECT_EQ(texts.ApplyLanguage(c.value), c.chosen) << "language '" << c.value << "'";
        EXPECT_EQ(texts.CurrentLanguage(), c.chosen) << "language '" << c.value << "'";
        EXPECT_EQ(texts.Text(TextKey::kButtonStop), c.chosen == Language::kGerman ? "Anhalten" : "Stop")
            << "language '" << c.value << "'";
    }
}

TEST(InterfaceTexts, StartsInEnglish) {
    const InterfaceTexts texts;
    EXPECT_EQ(texts.CurrentLanguage(), Language::kEnglish);
    EXPECT_EQ(texts.Text(TextKey::kButtonStart), "Lets go");
    EXPECT_EQ(texts.ServiceStateText(ServiceState::kRunning), "Service running");
}

TEST(InterfaceTexts, CurrentTextsFollowEverySwitch) {
    InterfaceTexts texts;
    const char* const sequence[] = {"german", "english", "German", "deutsch", "GERMAN", "german", ""};
    for (const char* value : sequence) {
        const Language chosen = texts.ApplyLanguage(value);
        for (int index = 0; index < kTextCount; ++index) {
            EXPECT_EQ(texts.Text(KeyAt(index)), TextOf(chosen, KeyAt(index)))
                << "after '" << value << "', key " << index;
        }
    }
}

TEST(InterfaceTextLists, EveryTextIsPresent) {
    // A list is read in order up to its first empty text, so one empty text would cut off all behind it.
    for (Language language : kLanguages) {
        for (int index = 0; index < kTextCount; ++index) {
            EXPECT_FALSE(TextOf(language, KeyAt(index)).empty()) << NameOf(language) << " key " << index;
        }
    }
}

TEST(InterfaceTextLists, AreWindows1252WithoutUtf8) {
    for (Language language : kLanguages) {
        for (int index = 0; index < kTextCount; ++index) {
            const std::string_view text = TextOf(language, KeyAt(index));
            for (std::size_t at = 0; at < text.size(); ++at) {
                const unsigned char byte = static_cast<unsigned char>(text[at]);
                const bool unassigned = byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
                EXPECT_FALSE(unassigned) << NameOf(language) << " key " << index << " byte " << at;
                EXPECT_TRUE(byte >= 0x20 || byte == '\n') << NameOf(language) << " key " << index << " byte " << at;
                // Ä, Ö, Ü, ß, ä, ö, ü in UTF-8 all start with C3 followed by a continuation byte.
                const bool utf8 = byte == 0xC3 && at + 1 < text.size() &&
                                  (static_cast<unsigned char>(text[at + 1]) & 0xC0) == 0x80;
                EXPECT_FALSE(utf8) << NameOf(language) << " key " << index << " byte " << at;
            }
        }
    }
}

TEST(InterfaceTextLists, BothLanguagesCarryTheSamePlaceholders) {
    for (int index = 0; index < kTextCount; ++index) {
        EXPECT_EQ(PlaceholdersOf(TextOf(Language::kGerman, KeyAt(index))),
                  PlaceholdersOf(TextOf(Language::kEnglish, KeyAt(index))))
            << "key " << index;
    }
}

TEST(InterfaceTextLists, PlaceholdersSitInTheTextsThatAreFilled) {
    struct PlaceholderCase {
        TextKey key;
        std::set<std::string> placeholders;
    };
    const PlaceholderCase cases[] = {
        {TextKey::kMsgLoggedIn, {"{COUNT}"}},    {TextKey::kMsgFileSaved, {"{FILE}"}},
        {TextKey::kStatusNextStart, {"{START}"}}, {TextKey::kMsgSearching, {"{SEARCH}"}},
        {TextKey::kErrFileNotSaved, {"{FILE}"}}, {TextKey::kErrConnection, {"{CODE}"}},
        {TextKey::kErrCertificate, {"{REASON}"}},
        {TextKey::kMsgConnected, {"{COUNT}"}},    {TextKey::kErrConnectDetail, {"{HOST}", "{PORT}", "{REASON}"}},
        {TextKey::kMsgFilesNotSaved, {"{COUNT}"}},
        {TextKey::kTipSubFolder, {"{sender}", "{domain}", "{year}", "{month}", "{day}"}},
        {TextKey::kErrReplyTooLarge, {"{NUMBER}", "{LIMIT}"}},
        {TextKey::kErrDataFolderDenied, {"{FOLDER}"}},
        {TextKey::kStatusSignedInAs, {"{NAME}"}},       {TextKey::kMsgBadHttpsUrl, {"{FIELD}"}},
        {TextKey::kErrSignInRefused, {"{DETAIL}"}},     {TextKey::kErrSignInNotStarted, {"{DETAIL}"}},
    };
    std::set<int> withPlaceholder;
    for (const PlaceholderCase& c : cases) {
        withPlaceholder.insert(static_cast<int>(c.key));
        EXPECT_EQ(PlaceholdersOf(TextOf(Language::kEnglish, c.key)), c.placeholders)
            << "key " << static_cast<int>(c.key);
    }
    for (int index = 0; index < kTextCount; ++index) {
        if (withPlaceholder.count(index) != 0) continue;
        EXPECT_TRUE(PlaceholdersOf(TextOf(Language::kEnglish, KeyAt(index))).empty()) << "key " << index;
    }
}

TEST(InterfaceTextLists, LabelsHaveNoColon) {
    // The colon is appended where a label stands left of its control; a stored one would show twice.
    const TextKey labels[] = {
        TextKey::kLabelServer,         TextKey::kLabelPort,          TextKey::kLabelUserName,
        TextKey::kLabelPassword,       TextKey::kLabelInterval,      TextKey::kLabelStartTime,
        TextKey::kLabelSaveDir,        TextKey::kFrameLog,           TextKey::kLabelSearchString,
        TextKey::kLabelExtensions,     TextKey::kLabelAllowedSenders, TextKey::kLabelBlockedSenders,
        TextKey::kLabelExistingFiles,  TextKey::kLabelSubFolder,      TextKey::kLabelAuthentication,
        TextKey::kLabelClientId,       TextKey::kLabelClientSecret,   TextKey::kLabelTenant,
        TextKey::kLabelAuthorizeUrl,   TextKey::kLabelTokenUrl,       TextKey::kLabelDeviceUrl,
        TextKey::kLabelScope,
    };
    for (Language language : kLanguages) {
        for (TextKey key : labels) {
            const std::string_view text = TextOf(language, key);
            EXPECT_FALSE(!text.empty() && text.back() == ':') << NameOf(language) << " key " << static_cast<int>(key);
        }
    }
}

struct ExactCase {
    TextKey key;
    std::string english;
    std::string german;
};

TEST(InterfaceTextLists, HoldTheseExactTexts) {
    const ExactCase cases[] = {
        {TextKey::kFramePreferences, "Preferences", "Einstellungen"},
        {TextKey::kLabelSaveDir, "Path for Attachments", "Speicherpfad f\xFCr Anh\xE4nge"},
        {TextKey::kCheckShortcut, "Shortcut in startup", "Verkn\xFCpfung in Autostart anlegen"},
        {TextKey::kCheckDeleteMails, "Delete mails from server, after extraction",
         "L\xF6sche Mails auf dem Server nach dem Extrahieren der Anh\xE4nge"},
        {TextKey::kButtonStart, "Lets go", "Los geht's"},
        {TextKey::kTipDonate, "You think this tool is useful? Please help the creator with a little donation!",
         "Dieses Tool ist n\xFCtzlich? \xDC" "ber eine kleine Spende w\xFCrde ich mich freuen!"},
        {TextKey::kLabelBlockedSenders, "Not from those senders", "Nicht von diesen Sendern"},
        {TextKey::kButtonDelete, "Delete", "L\xF6schen"},
        {TextKey::kMsgLoggedIn, "Successfully logged into account! ({COUNT} messages).",
         "In Postfach eingeloggt! ({COUNT} Nachrichten)."},
        {TextKey::kErrNoServer, "ERROR!! (Can't reach server)", "FEHLER!! (Kann Server nicht erreichen)"},
        {TextKey::kErrWrongPassword, "ERROR!! (wrong password)", "FEHLER!! (falsches Passwort)"},
        {TextKey::kInterval30Minutes, "any 30 minutes", "alle halbe Stunde"},
        {TextKey::kServiceStopPending, "Service pending close", "Dienst h\xE4lt an..."},
        {TextKey::kServiceContinuePending, "Service Continue Pending", "Service Continue Pending"},
        {TextKey::kStatusNextStart, "Next start in {START}", "N\xE4" "chster Start in {START}"},
        {TextKey::kButtonStop, "Stop", "Anhalten"},
        {TextKey::kProductDescription, "Zendrel. The tool for extracting attachments from emails.",
         "Zendrel. Das Tool, um Attachments aus Emails zu extrahieren."},
        {TextKey::kMsgHowToReconfigure,
         "If you want to change the configuration, just open a new instance of Zendrel, stop the service and do your "
         "changes.",
         "Wollen Sie \xC4nderungen an der Konfiguration durchf\xFChren, \xF6" "ffnen Sie einfach eine weitere Instanz "
         "von Zendrel, beenden den Dienst und f\xFChren Ihre \xC4nderungen durch."},
        {TextKey::kAskUninstall, "Do you want to uninstall the zendrel service?\n(You maybe need adminrights)",
         "Wollen Sie den Zendrel-Dienst deinstallieren?\n(Sie ben\xF6tigen evtl. Adminrechte)"},
        {TextKey::kErrUninstallRights, "You don't have enough rights, please try to start zendrel as administrator.",
         "Sie haben keine Rechte, versuchen Sie das Programm als Admin zu starten."},
        {TextKey::kMsgSearching, "Now searching for '{SEARCH}'.", "Suche nach '{SEARCH}'."},
        {TextKey::kErrFileNotSaved, "ERROR!! (File '{FILE}' could not be saved)",
         "FEHLER!! (Datei '{FILE}' konnte nicht gespeichert werden)"},
        {TextKey::kErrConnection, "ERROR!! (Connection failed, code {CODE})",
         "FEHLER!! (Verbindung fehlgeschlagen, Code {CODE})"},
        {TextKey::kMenuRunNow, "Run now", "Jetzt abrufen"},
        {TextKey::kMenuCheckConnection, "Check connection", "Verbindung pr\xFC" "fen"},
        {TextKey::kMsgConnected, "Connected: {COUNT} messages in the mailbox",
         "Verbunden: {COUNT} Nachrichten im Postfach"},
        {TextKey::kMenuShow, "Show", "Anzeigen"},
        {TextKey::kMenuQuit, "Quit", "Beenden"},
        {TextKey::kButtonClose, "Close", "Schlie\xDF" "en"},
        {TextKey::kLabelExistingFiles, "If a file of that name exists", "Wenn eine Datei gleichen Namens existiert"},
        {TextKey::kRadioKeepBoth, "Keep both", "Beide behalten"},
        {TextKey::kRadioReplace, "Replace it", "Ersetzen"},
        {TextKey::kCheckSaveInline, "Also save inline files (as some mail programs send PDFs)",
         "Auch eingebettete Dateien speichern (so verschicken manche Mailprogramme PDFs)"},
        {TextKey::kCheckRememberMails, "Remember examined mails across restarts",
         "Gepr\xFC" "fte Mails \xFC" "ber einen Neustart hinaus merken"},
        {TextKey::kMsgFilesNotSaved, "{COUNT} files could not be saved; their mails stay on the server",
         "{COUNT} Dateien konnten nicht gespeichert werden; ihre Mails bleiben auf dem Server"},
        {TextKey::kErrTokenOverPlainText,
         "ERROR!! (The sign-in is never sent over a plain connection: choose STARTTLS or SSL/TLS)",
         "FEHLER!! (Die Anmeldung wird nie \xFC" "ber eine unverschl\xFCsselte Verbindung gesendet: w\xE4hlen Sie "
         "STARTTLS oder SSL/TLS)"},
        {TextKey::kErrTokenRefused, "ERROR!! (The server refused the login with the sign-in)",
         "FEHLER!! (Der Server hat die Anmeldung abgelehnt)"},
        {TextKey::kErrNotSignedIn, "ERROR!! (Not signed in: please sign in)",
         "FEHLER!! (Nicht angemeldet: Bitte melden Sie sich an)"},
        {TextKey::kErrSignInAgain, "ERROR!! (The sign-in has expired or was revoked: Please sign in again)",
         "FEHLER!! (Die Anmeldung ist abgelaufen oder wurde widerrufen: Bitte melden Sie sich erneut an)"},
        {TextKey::kErrProviderUnreachable, "ERROR!! (The sign-in provider could not be reached)",
         "FEHLER!! (Der Anmeldedienst ist nicht erreichbar)"},
        {TextKey::kLabelAuthentication, "Authentication", "Authentifizierung"},
        {TextKey::kAuthPassword, "Password", "Passwort"},
        {TextKey::kAuthMicrosoft, "Microsoft", "Microsoft"},
        {TextKey::kAuthGoogle, "Google", "Google"},
        {TextKey::kAuthOther, "Other\x85", "Andere\x85"},
        {TextKey::kButtonOAuthSettings, "OAuth settings\x85", "OAuth-Einstellungen\x85"},
        {TextKey::kButtonSignIn, "Sign in\x85", "Anmelden\x85"},
        {TextKey::kButtonCancelSignIn, "Cancel sign-in", "Anmeldung abbrechen"},
        {TextKey::kStatusSignedInAs, "Signed in as {NAME}", "Angemeldet als {NAME}"},
        {TextKey::kStatusSignedIn, "Signed in", "Angemeldet"},
        {TextKey::kStatusNotSignedIn, "Not signed in", "Nicht angemeldet"},
        {TextKey::kTipNoSignIn, "Sign in with the provider first (Sign in\x85).",
         "Melden Sie sich zuerst beim Anbieter an (Anmelden\x85)."},
        {TextKey::kTitleOAuthSettings, "OAuth settings", "OAuth-Einstellungen"},
        {TextKey::kLabelClientId, "Client ID", "Client-ID"},
        {TextKey::kLabelClientSecret, "Client secret (only if the provider asks for one)",
         "Client-Geheimnis (nur wenn der Anbieter eines verlangt)"},
        {TextKey::kLabelTenant, "Tenant (Microsoft)", "Mandant (Microsoft)"},
        {TextKey::kLabelAuthorizeUrl, "Authorization URL", "Autorisierungs-URL"},
        {TextKey::kLabelTokenUrl, "Token URL", "Token-URL"},
        {TextKey::kLabelDeviceUrl, "Device URL (may be empty)", "Ger\xE4te-URL (darf leer sein)"},
        {TextKey::kLabelScope, "Scope", "Berechtigungen (Scope)"},
        {TextKey::kButtonOk, "OK", "OK"},
        {TextKey::kButtonCancel, "Cancel", "Abbrechen"},
        {TextKey::kMsgBadHttpsUrl, "{FIELD}: the address must begin with https:// and name a host.",
         "{FIELD}: Die Adresse muss mit https:// beginnen und einen Rechner nennen."},
        {TextKey::kMsgBadTenant, "The tenant must be consumers, organizations, common or a tenant id.",
         "Der Mandant muss consumers, organizations, common oder eine Mandanten-ID sein."},
        {TextKey::kMsgSignInWaiting, "Waiting for the sign-in in the browser...",
         "Warte auf die Anmeldung im Browser..."},
        {TextKey::kMsgSignInCancelled, "The sign-in was cancelled.", "Die Anmeldung wurde abgebrochen."},
        {TextKey::kMsgSignInTimedOut, "The sign-in timed out: the browser did not come back within 5 minutes.",
         "Die Anmeldung wurde abgebrochen: Der Browser kam nicht innerhalb von 5 Minuten zur\xFC" "ck."},
        {TextKey::kErrSignInRefused, "ERROR!! (The sign-in was refused: {DETAIL})",
         "FEHLER!! (Die Anmeldung wurde abgelehnt: {DETAIL})"},
        {TextKey::kErrSignInNotStarted, "ERROR!! (The sign-in could not start: {DETAIL})",
         "FEHLER!! (Die Anmeldung konnte nicht beginnen: {DETAIL})"},
    };
    for (const ExactCase& c : cases) {
        EXPECT_EQ(TextOf(Language::kEnglish, c.key), c.english) << "key " << static_cast<int>(c.key);
        EXPECT_EQ(TextOf(Language::kGerman, c.key), c.german) << "key " << static_cast<int>(c.key);
    }
}

TEST(InterfaceTexts, FilledPlaceholderGivesTheShownText) {
    InterfaceTexts texts;
    texts.ApplyLanguage("german");
    EXPECT_EQ(FillPlaceholder(texts.Text(TextKey::kMsgFileSaved), "{FILE}", "R\xE4" "chnung.pdf"),
              "Datei 'R\xE4" "chnung.pdf' abgespeichert!");
    texts.ApplyLanguage("english");
    EXPECT_EQ(FillPlaceholder(texts.Text(TextKey::kMsgLoggedIn), "{COUNT}", "3"),
              "Successfully logged into account! (3 messages).");
}

struct NumberedCase {
    int number;
    std::string english;
    std::string german;
};

TEST(InterfaceTexts, ServiceStateTextsByState) {
    const NumberedCase cases[] = {
        {0, "Service deinstalled", "Dienst deinstalliert"},
        {1, "Service stopped", "Dienst angehalten"},
        {2, "Service pending start", "Dienst startet..."},
        {3, "Service pending close", "Dienst h\xE4lt an..."},
        {4, "Service running", "Dienst l\xE4uft"},
        {5, "Service Continue Pending", "Service Continue Pending"},
        {6, "Service Pause Pending", "Service Pause Pending"},
        {7, "Service Paused", "Service Paused"},
        // A state the system does not define, or a failed query, shows as not installed.
        {8, "Service deinstalled", "Dienst deinstalliert"},
        {9, "Service deinstalled", "Dienst deinstalliert"},
        {-1, "Service deinstalled", "Dienst deinstalliert"},
    };
    InterfaceTexts texts;
    for (const NumberedCase& c : cases) {
        texts.ApplyLanguage("english");
        EXPECT_EQ(texts.ServiceStateText(ServiceStateOf(c.number)), c.english) << "state " << c.number;
        texts.ApplyLanguage("german");
        EXPECT_EQ(texts.ServiceStateText(ServiceStateOf(c.number)), c.german) << "state " << c.number;
    }
}

TEST(InterfaceTexts, IntervalTextsByPosition) {
    const NumberedCase cases[] = {
        {0, "any 5 minutes", "alle 5 Minuten"},   {1, "any 10 minutes", "alle 10 Minuten"},
        {2, "any 15 minutes", "alle 15 Minuten"}, {3, "any 30 minutes", "alle halbe Stunde"},
        {4, "hourly", "st\xFCndlich"},            {5, "any 2 hours", "alle 2 Stunden"},
        {6, "any 4 hours", "alle 4 Stunden"},     {7, "any 6 hours", "alle 6 Stunden"},
        {8, "any 8 hours", "alle 8 Stunden"},     {9, "any 12 hours", "alle 12 Stunden"},
        {10, "daily", "t\xE4glich"},              {11, "", ""},
        {-1, "", ""},
    };
    InterfaceTexts texts;
    for (const NumberedCase& c : cases) {
        texts.ApplyLanguage("english");
        EXPECT_EQ(texts.IntervalText(c.number), c.english) << "position " << c.number;
        texts.ApplyLanguage("german");
        EXPECT_EQ(texts.IntervalText(c.number), c.german) << "position " << c.number;
    }
}

TEST(InterfaceTexts, KeyOutsideTheListGivesNoText) {
    const InterfaceTexts texts;
    EXPECT_TRUE(texts.Text(KeyAt(kTextCount)).empty());
    EXPECT_TRUE(texts.Text(KeyAt(-1)).empty());
    EXPECT_TRUE(TextOf(Language::kGerman, KeyAt(kTextCount)).empty());
}

}  // namespace
}  // namespace zendrel
