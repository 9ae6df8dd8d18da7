#include "job/interface_texts.h"

#include "job/placeholders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <thread>

namespace zendrel {
namespace {

constexpr Language kLanguages[] = {Language::German, Language::English};

const char* NameOf(Language language) {
    return language == Language::German ? "German" : "English";
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
        {"german", Language::German},   {"German", Language::German},   {"GERMAN", Language::German},
        {"gErMaN", Language::German},   {"english", Language::English}, {"", Language::English},
        {"deutsch", Language::English}, {"germany", Language::English}, {" german", Language::English},
        {"german ", Language::English}, {"germa", Language::English},   {std::string("german\0", 7), Language::English},
    };
    for (const LanguageCase& c : cases) {
        InterfaceTexts texts;
        // Start from the opposite language so that a switch that does not happen is noticed.
        texts.ApplyLanguage(c.chosen == Language::German ? "english" : "german");
        EXPECT_EQ(texts.ApplyLanguage(c.value), c.chosen) << "language '" << c.value << "'";
        EXPECT_EQ(texts.CurrentLanguage(), c.chosen) << "language '" << c.value << "'";
        EXPECT_EQ(texts.Text(TextKey::ButtonStop), c.chosen == Language::German ? "Anhalten" : "Stop")
            << "language '" << c.value << "'";
    }
}

TEST(InterfaceTexts, StartsInEnglish) {
    const InterfaceTexts texts;
    EXPECT_EQ(texts.CurrentLanguage(), Language::English);
    EXPECT_EQ(texts.Text(TextKey::ButtonStart), "Lets go");
    EXPECT_EQ(texts.ServiceStateText(4), "Service running");
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
        EXPECT_EQ(PlaceholdersOf(TextOf(Language::German, KeyAt(index))),
                  PlaceholdersOf(TextOf(Language::English, KeyAt(index))))
            << "key " << index;
    }
}

TEST(InterfaceTextLists, PlaceholdersSitInTheTextsThatAreFilled) {
    struct PlaceholderCase {
        TextKey key;
        std::set<std::string> placeholders;
    };
    const PlaceholderCase cases[] = {
        {TextKey::MsgLoggedIn, {"{COUNT}"}},    {TextKey::MsgFileSaved, {"{FILE}"}},
        {TextKey::StatusNextStart, {"{START}"}}, {TextKey::MsgSearching, {"{SEARCH}"}},
        {TextKey::ErrFileNotSaved, {"{FILE}"}}, {TextKey::ErrConnection, {"{CODE}"}},
        {TextKey::ErrCertificate, {"{REASON}"}},
        {TextKey::MsgConnected, {"{COUNT}"}},    {TextKey::ErrConnectDetail, {"{HOST}", "{PORT}", "{REASON}"}},
        {TextKey::MsgFilesNotSaved, {"{COUNT}"}},
        {TextKey::TipSubFolder, {"{sender}", "{domain}", "{year}", "{month}", "{day}"}},
        {TextKey::ErrReplyTooLarge, {"{NUMBER}", "{LIMIT}"}},
        {TextKey::ErrDataFolderDenied, {"{FOLDER}"}},
    };
    std::set<int> withPlaceholder;
    for (const PlaceholderCase& c : cases) {
        withPlaceholder.insert(static_cast<int>(c.key));
        EXPECT_EQ(PlaceholdersOf(TextOf(Language::English, c.key)), c.placeholders)
            << "key " << static_cast<int>(c.key);
    }
    for (int index = 0; index < kTextCount; ++index) {
        if (withPlaceholder.count(index) != 0) continue;
        EXPECT_TRUE(PlaceholdersOf(TextOf(Language::English, KeyAt(index))).empty()) << "key " << index;
    }
}

TEST(InterfaceTextLists, LabelsHaveNoColon) {
    // The colon is appended where a label stands left of its control; a stored one would show twice.
    const TextKey labels[] = {
        TextKey::LabelServer,         TextKey::LabelPort,          TextKey::LabelUserName,
        TextKey::LabelPassword,       TextKey::LabelInterval,      TextKey::LabelStartTime,
        TextKey::LabelSaveDir,        TextKey::FrameLog,           TextKey::LabelSearchString,
        TextKey::LabelExtensions,     TextKey::LabelAllowedSenders, TextKey::LabelBlockedSenders,
        TextKey::LabelExistingFiles,  TextKey::LabelSubFolder,
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
        {TextKey::FramePreferences, "Preferences", "Einstellungen"},
        {TextKey::LabelSaveDir, "Path for Attachments", "Speicherpfad f\xFCr Anh\xE4nge"},
        {TextKey::CheckShortcut, "Shortcut in startup", "Verkn\xFCpfung in Autostart anlegen"},
        {TextKey::CheckDeleteMails, "Delete mails from server, after extraction",
         "L\xF6sche Mails auf dem Server nach dem Extrahieren der Anh\xE4nge"},
        {TextKey::ButtonStart, "Lets go", "Los geht's"},
        {TextKey::TipDonate, "You think this tool is useful? Please help the creator with a little donation!",
         "Dieses Tool ist n\xFCtzlich? \xDC" "ber eine kleine Spende w\xFCrde ich mich freuen!"},
        {TextKey::LabelBlockedSenders, "Not from those senders", "Nicht von diesen Sendern"},
        {TextKey::ButtonDelete, "Delete", "L\xF6schen"},
        {TextKey::MsgLoggedIn, "Successfully logged into account! ({COUNT} messages).",
         "In Postfach eingeloggt! ({COUNT} Nachrichten)."},
        {TextKey::ErrNoServer, "ERROR!! (Can't reach server)", "FEHLER!! (Kann Server nicht erreichen)"},
        {TextKey::ErrWrongPassword, "ERROR!! (wrong password)", "FEHLER!! (falsches Passwort)"},
        {TextKey::Interval30Minutes, "any 30 minutes", "alle halbe Stunde"},
        {TextKey::ServiceStopPending, "Service pending close", "Dienst h\xE4lt an..."},
        {TextKey::ServiceContinuePending, "Service Continue Pending", "Service Continue Pending"},
        {TextKey::StatusNextStart, "Next start in {START}", "N\xE4" "chster Start in {START}"},
        {TextKey::ButtonStop, "Stop", "Anhalten"},
        {TextKey::ProductDescription, "Zendrel. The tool for extracting attachments from emails.",
         "Zendrel. Das Tool, um Attachments aus Emails zu extrahieren."},
        {TextKey::MsgHowToReconfigure,
         "If you want to change the configuration, just open a new instance of Zendrel, stop the service and do your "
         "changes.",
         "Wollen Sie \xC4nderungen an der Konfiguration durchf\xFChren, \xF6" "ffnen Sie einfach eine weitere Instanz "
         "von Zendrel, beenden den Dienst und f\xFChren Ihre \xC4nderungen durch."},
        {TextKey::AskUninstall, "Do you want to uninstall the zendrel service?\n(You maybe need adminrights)",
         "Wollen Sie den Zendrel-Dienst deinstallieren?\n(Sie ben\xF6tigen evtl. Adminrechte)"},
        {TextKey::ErrUninstallRights, "You don't have enough rights, please try to start zendrel as administrator.",
         "Sie haben keine Rechte, versuchen Sie das Programm als Admin zu starten."},
        {TextKey::MsgSearching, "Now searching for '{SEARCH}'.", "Suche nach '{SEARCH}'."},
        {TextKey::ErrFileNotSaved, "ERROR!! (File '{FILE}' could not be saved)",
         "FEHLER!! (Datei '{FILE}' konnte nicht gespeichert werden)"},
        {TextKey::ErrConnection, "ERROR!! (Connection failed, code {CODE})",
         "FEHLER!! (Verbindung fehlgeschlagen, Code {CODE})"},
        {TextKey::MenuRunNow, "Run now", "Jetzt abrufen"},
        {TextKey::MenuCheckConnection, "Check connection", "Verbindung pr\xFC" "fen"},
        {TextKey::MsgConnected, "Connected: {COUNT} messages in the mailbox",
         "Verbunden: {COUNT} Nachrichten im Postfach"},
        {TextKey::MenuShow, "Show", "Anzeigen"},
        {TextKey::MenuQuit, "Quit", "Beenden"},
        {TextKey::ButtonClose, "Close", "Schlie\xDF" "en"},
        {TextKey::LabelExistingFiles, "If a file of that name exists", "Wenn eine Datei gleichen Namens existiert"},
        {TextKey::RadioKeepBoth, "Keep both", "Beide behalten"},
        {TextKey::RadioReplace, "Replace it", "Ersetzen"},
        {TextKey::CheckSaveInline, "Also save inline files (as some mail programs send PDFs)",
         "Auch eingebettete Dateien speichern (so verschicken manche Mailprogramme PDFs)"},
        {TextKey::CheckRememberMails, "Remember examined mails across restarts",
         "Gepr\xFC" "fte Mails \xFC" "ber einen Neustart hinaus merken"},
        {TextKey::MsgFilesNotSaved, "{COUNT} files could not be saved; their mails stay on the server",
         "{COUNT} Dateien konnten nicht gespeichert werden; ihre Mails bleiben auf dem Server"},
        {TextKey::ErrTokenOverPlainText,
         "ERROR!! (The sign-in is never sent over a plain connection: choose STARTTLS or SSL/TLS)",
         "FEHLER!! (Die Anmeldung wird nie \xFC" "ber eine unverschl\xFCsselte Verbindung gesendet: w\xE4hlen Sie "
         "STARTTLS oder SSL/TLS)"},
        {TextKey::ErrTokenRefused, "ERROR!! (The server refused the login with the sign-in)",
         "FEHLER!! (Der Server hat die Anmeldung abgelehnt)"},
        {TextKey::ErrNotSignedIn, "ERROR!! (Not signed in: please sign in)",
         "FEHLER!! (Nicht angemeldet: Bitte melden Sie sich an)"},
        {TextKey::ErrSignInAgain, "ERROR!! (The sign-in has expired or was revoked: Please sign in again)",
         "FEHLER!! (Die Anmeldung ist abgelaufen oder wurde widerrufen: Bitte melden Sie sich erneut an)"},
        {TextKey::ErrProviderUnreachable, "ERROR!! (The sign-in provider could not be reached)",
         "FEHLER!! (Der Anmeldedienst ist nicht erreichbar)"},
    };
    for (const ExactCase& c : cases) {
        EXPECT_EQ(TextOf(Language::English, c.key), c.english) << "key " << static_cast<int>(c.key);
        EXPECT_EQ(TextOf(Language::German, c.key), c.german) << "key " << static_cast<int>(c.key);
    }
}

TEST(InterfaceTexts, FilledPlaceholderGivesTheShownText) {
    InterfaceTexts texts;
    texts.ApplyLanguage("german");
    EXPECT_EQ(FillPlaceholder(texts.Text(TextKey::MsgFileSaved), "{FILE}", "R\xE4" "chnung.pdf"),
              "Datei 'R\xE4" "chnung.pdf' abgespeichert!");
    texts.ApplyLanguage("english");
    EXPECT_EQ(FillPlaceholder(texts.Text(TextKey::MsgLoggedIn), "{COUNT}", "3"),
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
        EXPECT_EQ(texts.ServiceStateText(c.number), c.english) << "state " << c.number;
        texts.ApplyLanguage("german");
        EXPECT_EQ(texts.ServiceStateText(c.number), c.german) << "state " << c.number;
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
    EXPECT_TRUE(TextOf(Language::German, KeyAt(kTextCount)).empty());
}

}  // namespace
}  // namespace zendrel
