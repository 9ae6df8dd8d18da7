#include "job/interface_texts.h"

#include "common/text.h"

#include <array>

namespace zendrel {
namespace {

using TextList = std::array<std::string_view, kTextCount>;

// Non-ASCII characters are written as Windows-1252 escapes so that the encoding of this file cannot change them.
// A literal is split where an escape is followed by a hex digit, which would otherwise extend the escape.

constexpr TextList kEnglishTexts = {
    "Preferences",                                                                        // FramePreferences
    "Pop3-Server",                                                                        // LabelServer
    "Port",                                                                               // LabelPort
    "Username",                                                                           // LabelUserName
    "Password",                                                                           // LabelPassword
    "Readinterval",                                                                       // LabelInterval
    "Starttime",                                                                          // LabelStartTime
    "Path for Attachments",                                                               // LabelSaveDir
    "Advanced Settings...",                                                               // ButtonAdvanced
    "Shortcut in startup",                                                                // CheckShortcut
    "Start as service",                                                                   // CheckService
    "Delete mails from server, after extraction",                                         // CheckDeleteMails
    "Lets go",                                                                            // ButtonStart
    "Log",                                                                                // FrameLog
    "You think this tool is useful? Please help the creator with a little donation!",     // TipDonate
    "Delete Logfile.",                                                                    // TipClearLog
    "Advanced Settings",                                                                  // TitleAdvanced
    "Search string in subject",                                                           // LabelSearchString
    "Extract only attachments with this extension",                                       // LabelExtensions
    "Only from those senders",                                                            // LabelAllowedSenders
    "Not from those senders",                                                             // LabelBlockedSenders
    "Add...",                                                                             // ButtonAdd
    "Delete",                                                                             // ButtonDelete
    "Successfully logged into account! ({COUNT} messages).",                              // MsgLoggedIn
    "File '{FILE}' saved!",                                                               // MsgFileSaved
    "Successfully signed out!",                                                           // MsgLoggedOut
    "ERROR!! (Can't reach server)",                                                       // ErrNoServer
    "ERROR!! (no login)",                                                                 // ErrNoLogin
    "ERROR!! (unknown username)",                                                         // ErrUnknownUser
    "ERROR!! (wrong password)",                                                           // ErrWrongPassword
    "any 5 minutes",                                                                      // Interval5Minutes
    "any 10 minutes",                                                                     // Interval10Minutes
    "any 15 minutes",                                                                     // Interval15Minutes
    "any 30 minutes",                                                                     // Interval30Minutes
    "hourly",                                                                             // IntervalHourly
    "any 2 hours",                                                                        // Interval2Hours
    "any 4 hours",                                                                        // Interval4Hours
    "any 6 hours",                                                                        // Interval6Hours
    "any 8 hours",                                                                        // Interval8Hours
    "any 12 hours",                                                                       // Interval12Hours
    "daily",                                                                              // IntervalDaily
    "Service deinstalled",                                                                // ServiceNotInstalled
    "Service stopped",                                                                    // ServiceStopped
    "Service pending start",                                                              // ServiceStartPending
    "Service pending close",                                                              // ServiceStopPending
    "Service running",                                                                    // ServiceRunning
    "Service Continue Pending",                                                           // ServiceContinuePending
    "Service Pause Pending",                                                              // ServicePausePending
    "Service Paused",                                                                     // ServicePaused
    "Zendrel is running!",                                                                // TipTrayService
    "Zendrel! Doubleclick to restore window",                                             // TipTrayRestore
    "Next start in {START}",                                                              // StatusNextStart
    "Examine mails on server...",                                                         // StatusExamining
    "Select path, where the attachments should be saved",                                 // TitleChooseFolder
    "Stop",                                                                               // ButtonStop
    "Zendrel. The tool for extracting attachments from emails.",                          // ProductDescription
    "Service 'Zendrel' installed!",                                                       // MsgServiceInstalled
    "The program is running in the background. You can close this instance now.",        // MsgRunningInBackground
    "If you want to change the configuration, just open a new instance of Zendrel, stop the service and do your "
    "changes.",                                                                           // MsgHowToReconfigure
    "Error while trying to install the service!",                                         // ErrInstallService
    "You don't have the rights to install a service, try to run Zendrel 'as administrator'.",  // ErrInstallRights
    "Service 'Zendrel' has been halted",                                                  // MsgServiceHalted
    "Add Email",                                                                          // TitleAddEmail
    "Uninstall service?",                                                                 // TitleUninstall
    "Do you want to uninstall the zendrel service?\n(You maybe need adminrights)",        // AskUninstall
    "Service 'Zendrel' has been uninstalled!",                                            // MsgServiceUninstalled
    "Error while trying to uninstall the service!",                                       // ErrUninstallService
    "You don't have enough rights, please try to start zendrel as administrator.",        // ErrUninstallRights
    "Please enter an email address",                                                      // PromptEmail
    "Now searching for '{SEARCH}'.",                                                      // MsgSearching
    "ERROR!! (File '{FILE}' could not be saved)",                                         // ErrFileNotSaved
    "ERROR!! (Connection failed, code {CODE})",                                           // ErrConnection
    "ERROR!! (The run was cut short by an internal error)",                               // ErrRunFailed
    "ERROR!! (The server's certificate is not trusted: {REASON})",                        // ErrCertificate
    "ERROR!! (The server offers no STARTTLS)",                                            // ErrNoStartTls
    "Security",                                                                           // LabelSecurity
    "None",                                                                               // SecurityNone
    "STARTTLS",                                                                           // SecurityStartTls
    "SSL/TLS",                                                                            // SecurityTls
    "Run now",                                                                            // MenuRunNow
    "Check connection",                                                                   // MenuCheckConnection
    "Show",                                                                               // MenuShow
    "Quit",                                                                               // MenuQuit
    "Close",                                                                              // ButtonClose
    "Connected: {COUNT} messages in the mailbox",                                         // MsgConnected
    "Enter the folder for the attachments.",                                              // TipNoSaveDir
    "The folder for the attachments does not exist.",                                     // TipSaveDirMissing
    "Enter the user name of the mailbox.",                                                // TipNoUserName
    "Enter the POP3 server.",                                                             // TipNoServer
    "The port must be a number from 1 to 65535.",                                         // TipBadPort
    "Choose a read interval.",                                                            // TipNoInterval
    "Server {HOST}, port {PORT}: {REASON}",                                               // ErrConnectDetail
    "connection refused",                                                                 // ReasonRefused
    "no such host",                                                                       // ReasonNoSuchHost
    "timed out",                                                                          // ReasonTimedOut
    "TLS handshake failed",                                                               // ReasonTlsHandshake
    "Another run on this data folder is still under way; this run is skipped.",           // MsgRunSkipped
    "No service manager runs for this user here (systemctl --user does not answer).",     // TipNoServiceManager
    "This character cannot be kept: Zendrel stores its texts in the Western European character set "
    "(Windows-1252).",                                                                    // TipRefusedCharacter
    "If a file of that name exists",                                                      // LabelExistingFiles
    "Keep both",                                                                          // RadioKeepBoth
    "Replace it",                                                                         // RadioReplace
    "Subfolders by sender or date",                                                       // LabelSubFolder
    "Placeholders: {sender}, {domain}, {year}, {month}, {day}; for example {domain}/{year}-{month}",  // TipSubFolder
    "The subfolders must be a relative path without '..' and with only the listed placeholders",  // TipSubFolderRefused
    "Also save inline files (as some mail programs send PDFs)",                           // CheckSaveInline
    "Reason: the folder does not exist",                                                  // ReasonFolderMissing
    "Reason: no permission to write there",                                               // ReasonNoPermission
    "Reason: the disk is full",                                                           // ReasonDiskFull
    "Reason: the name is too long for the file system",                                   // ReasonNameTooLong
    "Reason: the file could not be written",                                              // ReasonNotWritten
    "Reason: the attachment names no usable file",                                        // ReasonNoFileName
    "Reason: its content cannot be decoded",                                              // ReasonNotDecodable
    "1 file could not be saved; its mail stays on the server",                            // MsgOneFileNotSaved
    "{COUNT} files could not be saved; their mails stay on the server",                   // MsgFilesNotSaved
    "ERROR!! (The server's reply for message {NUMBER} went past its limit of {LIMIT} bytes)",  // ErrReplyTooLarge
    "Remember examined mails across restarts",                                            // CheckRememberMails
    "The list of examined mails could not be read; all mails are examined again",         // ErrRememberedUnreadable
    "The list of examined mails could not be saved; the next run tries again",            // ErrRememberedUnwritten
    "No access to the data folder {FOLDER}: it belongs to another user of this computer. These settings are not "
    "saved; an administrator can give you access to the folder.",                         // ErrDataFolderDenied
    "ERROR!! (The sign-in is never sent over a plain connection: choose STARTTLS or SSL/TLS)",  // ErrTokenOverPlainText
    "ERROR!! (The server refused the login with the sign-in)",                            // ErrTokenRefused
    "ERROR!! (Not signed in: please sign in)",                                            // ErrNotSignedIn
    "ERROR!! (The sign-in has expired or was revoked: Please sign in again)",             // ErrSignInAgain
    "ERROR!! (The sign-in provider could not be reached)",                                // ErrProviderUnreachable
    "Authentication",                                                                     // LabelAuthentication
    "Password",                                                                           // AuthPassword
    "Microsoft",                                                                          // AuthMicrosoft
    "Google",                                                                             // AuthGoogle
    "Other\x85",                                                                          // AuthOther
    "OAuth settings\x85",                                                                 // ButtonOAuthSettings
    "Sign in\x85",                                                                        // ButtonSignIn
    "Cancel sign-in",                                                                     // ButtonCancelSignIn
    "Signed in as {NAME}",                                                                // StatusSignedInAs
    "Signed in",                                                                          // StatusSignedIn
    "Not signed in",                                                                      // StatusNotSignedIn
    "Sign in with the provider first (Sign in\x85).",                                     // TipNoSignIn
    "OAuth settings",                                                                     // TitleOAuthSettings
    "Client ID",                                                                          // LabelClientId
    "Client secret (only if the provider asks for one)",                                  // LabelClientSecret
    "Tenant (Microsoft)",                                                                 // LabelTenant
    "Authorization URL",                                                                  // LabelAuthorizeUrl
    "Token URL",                                                                          // LabelTokenUrl
    "Device URL (may be empty)",                                                          // LabelDeviceUrl
    "Scope",                                                                              // LabelScope
    "OK",                                                                                 // ButtonOk
    "Cancel",                                                                             // ButtonCancel
    "{FIELD}: the address must begin with https:// and name a host.",                     // MsgBadHttpsUrl
    "The tenant must be consumers, organizations, common or a tenant id.",                // MsgBadTenant
    "Waiting for the sign-in in the browser...",                                          // MsgSignInWaiting
    "The sign-in was cancelled.",                                                         // MsgSignInCancelled
    "The sign-in timed out: the browser did not come back within 5 minutes.",             // MsgSignInTimedOut
    "ERROR!! (The sign-in was refused: {DETAIL})",                                        // ErrSignInRefused
    "ERROR!! (The sign-in could not start: {DETAIL})",                                    // ErrSignInNotStarted
};

constexpr TextList kGermanTexts = {
    "Einstellungen",                                                                      // FramePreferences
    "Pop3-Server",                                                                        // LabelServer
    "Port",                                                                               // LabelPort
    "Benutzername",                                                                       // LabelUserName
    "Passwort",                                                                           // LabelPassword
    "Leseintervall",                                                                      // LabelInterval
    "Startzeit",                                                                          // LabelStartTime
    "Speicherpfad f\xFCr Anh\xE4nge",                                                     // LabelSaveDir
    "Erweiterte Einstellungen...",                                                        // ButtonAdvanced
    "Verkn\xFC" "pfung in Autostart anlegen",                                             // CheckShortcut
    "Starte als Dienst",                                                                  // CheckService
    "L\xF6sche Mails auf dem Server nach dem Extrahieren der Anh\xE4nge",                 // CheckDeleteMails
    "Los geht's",                                                                         // ButtonStart
    "Log",                                                                                // FrameLog
    "Dieses Tool ist n\xFCtzlich? \xDC" "ber eine kleine Spende w\xFCrde ich mich freuen!",  // TipDonate
    "L\xF6sche Log-Datei.",                                                               // TipClearLog
    "Erweiterte Einstellungen",                                                           // TitleAdvanced
    "Suchstring im Betreff",                                                              // LabelSearchString
    "Behandle nur Anh\xE4nge mit dieser Dateiendung",                                     // LabelExtensions
    "Nur von diesen Sendern",                                                             // LabelAllowedSenders
    "Nicht von diesen Sendern",                                                           // LabelBlockedSenders
    "Hinzuf\xFCgen...",                                                                   // ButtonAdd
    "L\xF6schen",                                                                         // ButtonDelete
    "In Postfach eingeloggt! ({COUNT} Nachrichten).",                                     // MsgLoggedIn
    "Datei '{FILE}' abgespeichert!",                                                      // MsgFileSaved
    "Erfolgreich ausgeloggt!",                                                            // MsgLoggedOut
    "FEHLER!! (Kann Server nicht erreichen)",                                             // ErrNoServer
    "FEHLER!! (Login fehlgeschlagen)",                                                    // ErrNoLogin
    "FEHLER!! (unbekannter Benutzername)",                                                // ErrUnknownUser
    "FEHLER!! (falsches Passwort)",                                                       // ErrWrongPassword
    "alle 5 Minuten",                                                                     // Interval5Minutes
    "alle 10 Minuten",                                                                    // Interval10Minutes
    "alle 15 Minuten",                                                                    // Interval15Minutes
    "alle halbe Stunde",                                                                  // Interval30Minutes
    "st\xFCndlich",                                                                       // IntervalHourly
    "alle 2 Stunden",                                                                     // Interval2Hours
    "alle 4 Stunden",                                                                     // Interval4Hours
    "alle 6 Stunden",                                                                     // Interval6Hours
    "alle 8 Stunden",                                                                     // Interval8Hours
    "alle 12 Stunden",                                                                    // Interval12Hours
    "t\xE4glich",                                                                         // IntervalDaily
    "Dienst deinstalliert",                                                               // ServiceNotInstalled
    "Dienst angehalten",                                                                  // ServiceStopped
    "Dienst startet...",                                                                  // ServiceStartPending
    "Dienst h\xE4lt an...",                                                               // ServiceStopPending
    "Dienst l\xE4uft",                                                                    // ServiceRunning
    "Service Continue Pending",                                                           // ServiceContinuePending
    "Service Pause Pending",                                                              // ServicePausePending
    "Service Paused",                                                                     // ServicePaused
    "Zendrel arbeitet!",                                                                  // TipTrayService
    "Zendrel! Doppelklick zum Wiederherstellen",                                          // TipTrayRestore
    "N\xE4" "chster Start in {START}",                                                    // StatusNextStart
    "Untersuche Mails auf Server...",                                                     // StatusExamining
    "Verzeichnis w\xE4hlen, in das die Anh\xE4nge gespeichert werden sollen",             // TitleChooseFolder
    "Anhalten",                                                                           // ButtonStop
    "Zendrel. Das Tool, um Attachments aus Emails zu extrahieren.",                       // ProductDescription
    "Dienst 'Zendrel' installiert!",                                                      // MsgServiceInstalled
    "Das Programm arbeitet im Hintergrund. Sie k\xF6nnen diese Instanz nun beenden.",     // MsgRunningInBackground
    "Wollen Sie \xC4nderungen an der Konfiguration durchf\xFChren, \xF6" "ffnen Sie einfach eine weitere Instanz von "
    "Zendrel, beenden den Dienst und f\xFChren Ihre \xC4nderungen durch.",                // MsgHowToReconfigure
    "Fehler beim Installieren des Dienstes!",                                             // ErrInstallService
    "Sie haben keine Rechte, versuchen Sie das Programm als Admin zu starten.",           // ErrInstallRights
    "Dienst 'Zendrel' angehalten",                                                        // MsgServiceHalted
    "Email hinzuf\xFCgen",                                                                // TitleAddEmail
    "Dienst Deinstallieren?",                                                             // TitleUninstall
    "Wollen Sie den Zendrel-Dienst deinstallieren?\n(Sie ben\xF6tigen evtl. Adminrechte)",  // AskUninstall
    "Dienst 'Zendrel' entfernt!",                                                         // MsgServiceUninstalled
    "Fehler beim Deinstallieren des Dienstes!",                                           // ErrUninstallService
    "Sie haben keine Rechte, versuchen Sie das Programm als Admin zu starten.",           // ErrUninstallRights
    "Bitte geben Sie eine Emailadresse an",                                               // PromptEmail
    "Suche nach '{SEARCH}'.",                                                             // MsgSearching
    "FEHLER!! (Datei '{FILE}' konnte nicht gespeichert werden)",                          // ErrFileNotSaved
    "FEHLER!! (Verbindung fehlgeschlagen, Code {CODE})",                                  // ErrConnection
    "FEHLER!! (Der Lauf wurde durch einen internen Fehler abgebrochen)",                  // ErrRunFailed
    "FEHLER!! (Das Zertifikat des Servers ist nicht vertrauensw\xFC" "rdig: {REASON})",     // ErrCertificate
    "FEHLER!! (Der Server bietet kein STARTTLS an)",                                      // ErrNoStartTls
    "Sicherheit",                                                                         // LabelSecurity
    "Keine",                                                                              // SecurityNone
    "STARTTLS",                                                                           // SecurityStartTls
    "SSL/TLS",                                                                            // SecurityTls
    "Jetzt abrufen",                                                                      // MenuRunNow
    "Verbindung pr\xFC" "fen",                                                            // MenuCheckConnection
    "Anzeigen",                                                                           // MenuShow
    "Beenden",                                                                            // MenuQuit
    "Schlie\xDF" "en",                                                                    // ButtonClose
    "Verbunden: {COUNT} Nachrichten im Postfach",                                         // MsgConnected
    "Geben Sie den Ordner f\xFC" "r die Anh\xE4" "nge an.",                               // TipNoSaveDir
    "Der Ordner f\xFC" "r die Anh\xE4" "nge existiert nicht.",                            // TipSaveDirMissing
    "Geben Sie den Benutzernamen des Postfachs an.",                                      // TipNoUserName
    "Geben Sie den POP3-Server an.",                                                      // TipNoServer
    "Der Port muss eine Zahl von 1 bis 65535 sein.",                                      // TipBadPort
    "W\xE4" "hlen Sie ein Leseintervall.",                                                // TipNoInterval
    "Server {HOST}, Port {PORT}: {REASON}",                                               // ErrConnectDetail
    "Verbindung abgelehnt",                                                               // ReasonRefused
    "Rechner nicht gefunden",                                                             // ReasonNoSuchHost
    "Zeit\xFC" "berschreitung",                                                           // ReasonTimedOut
    "TLS-Handshake fehlgeschlagen",                                                       // ReasonTlsHandshake
    "Ein anderer Abruf mit diesem Datenordner l\xE4" "uft noch; dieser Abruf entf\xE4" "llt.",  // MsgRunSkipped
    "Hier l\xE4" "uft kein Dienst-Manager f\xFC" "r diesen Benutzer (systemctl --user antwortet "
    "nicht).",                                                                            // TipNoServiceManager
    "Dieses Zeichen kann nicht \xFC" "bernommen werden: Zendrel speichert seine Texte im "
    "westeurop\xE4" "ischen Zeichensatz (Windows-1252).",                                 // TipRefusedCharacter
    "Wenn eine Datei gleichen Namens existiert",                                          // LabelExistingFiles
    "Beide behalten",                                                                     // RadioKeepBoth
    "Ersetzen",                                                                           // RadioReplace
    "Unterordner nach Absender oder Datum",                                               // LabelSubFolder
    "Platzhalter: {sender}, {domain}, {year}, {month}, {day}; zum Beispiel {domain}/{year}-{month}",  // TipSubFolder
    "Die Unterordner m\xFCssen ein relativer Pfad ohne '..' und nur mit den genannten Platzhaltern sein",
                                                                                          // TipSubFolderRefused
    "Auch eingebettete Dateien speichern (so verschicken manche Mailprogramme PDFs)",     // CheckSaveInline
    "Grund: Der Ordner existiert nicht",                                                  // ReasonFolderMissing
    "Grund: Keine Berechtigung, dort zu schreiben",                                       // ReasonNoPermission
    "Grund: Der Datentr\xE4ger ist voll",                                                 // ReasonDiskFull
    "Grund: Der Name ist f\xFCr das Dateisystem zu lang",                                 // ReasonNameTooLong
    "Grund: Die Datei konnte nicht geschrieben werden",                                   // ReasonNotWritten
    "Grund: Der Anhang nennt keinen brauchbaren Dateinamen",                              // ReasonNoFileName
    "Grund: Sein Inhalt l\xE4\xDFt sich nicht dekodieren",                                // ReasonNotDecodable
    "1 Datei konnte nicht gespeichert werden; ihre Mail bleibt auf dem Server",           // MsgOneFileNotSaved
    "{COUNT} Dateien konnten nicht gespeichert werden; ihre Mails bleiben auf dem Server",  // MsgFilesNotSaved
    "FEHLER!! (Die Antwort des Servers zu Nachricht {NUMBER} ist gr\xF6\xDF" "er als ihre Grenze von {LIMIT} Bytes)",
                                                                                          // ErrReplyTooLarge
    "Gepr\xFC" "fte Mails \xFC" "ber einen Neustart hinaus merken",                         // CheckRememberMails
    "Die Liste der gepr\xFC" "ften Mails lie\xDF sich nicht lesen; alle Mails werden erneut gepr\xFC" "ft",
                                                                                          // ErrRememberedUnreadable
    "Die Liste der gepr\xFC" "ften Mails lie\xDF sich nicht speichern; der n\xE4" "chste Abruf versucht es erneut",
                                                                                          // ErrRememberedUnwritten
    "Kein Zugriff auf den Datenordner {FOLDER}: Er geh\xF6rt einem anderen Benutzer dieses Computers. Diese "
    "Einstellungen werden nicht gespeichert; ein Administrator kann Ihnen Zugriff auf den Ordner geben.",
                                                                                          // ErrDataFolderDenied
    "FEHLER!! (Die Anmeldung wird nie \xFC" "ber eine unverschl\xFCsselte Verbindung gesendet: w\xE4hlen Sie STARTTLS "
    "oder SSL/TLS)",                                                                      // ErrTokenOverPlainText
    "FEHLER!! (Der Server hat die Anmeldung abgelehnt)",                                  // ErrTokenRefused
    "FEHLER!! (Nicht angemeldet: Bitte melden Sie sich an)",                              // ErrNotSignedIn
    "FEHLER!! (Die Anmeldung ist abgelaufen oder wurde widerrufen: Bitte melden Sie sich erneut an)",
                                                                                          // ErrSignInAgain
    "FEHLER!! (Der Anmeldedienst ist nicht erreichbar)",                                  // ErrProviderUnreachable
    "Authentifizierung",                                                                  // LabelAuthentication
    "Passwort",                                                                           // AuthPassword
    "Microsoft",                                                                          // AuthMicrosoft
    "Google",                                                                             // AuthGoogle
    "Andere\x85",                                                                         // AuthOther
    "OAuth-Einstellungen\x85",                                                            // ButtonOAuthSettings
    "Anmelden\x85",                                                                       // ButtonSignIn
    "Anmeldung abbrechen",                                                                // ButtonCancelSignIn
    "Angemeldet als {NAME}",                                                              // StatusSignedInAs
    "Angemeldet",                                                                         // StatusSignedIn
    "Nicht angemeldet",                                                                   // StatusNotSignedIn
    "Melden Sie sich zuerst beim Anbieter an (Anmelden\x85).",                            // TipNoSignIn
    "OAuth-Einstellungen",                                                                // TitleOAuthSettings
    "Client-ID",                                                                          // LabelClientId
    "Client-Geheimnis (nur wenn der Anbieter eines verlangt)",                            // LabelClientSecret
    "Mandant (Microsoft)",                                                                // LabelTenant
    "Autorisierungs-URL",                                                                 // LabelAuthorizeUrl
    "Token-URL",                                                                          // LabelTokenUrl
    "Ger\xE4te-URL (darf leer sein)",                                                     // LabelDeviceUrl
    "Berechtigungen (Scope)",                                                             // LabelScope
    "OK",                                                                                 // ButtonOk
    "Abbrechen",                                                                          // ButtonCancel
    "{FIELD}: Die Adresse muss mit https:// beginnen und einen Rechner nennen.",          // MsgBadHttpsUrl
    "Der Mandant muss consumers, organizations, common oder eine Mandanten-ID sein.",     // MsgBadTenant
    "Warte auf die Anmeldung im Browser...",                                              // MsgSignInWaiting
    "Die Anmeldung wurde abgebrochen.",                                                   // MsgSignInCancelled
    "Die Anmeldung wurde abgebrochen: Der Browser kam nicht innerhalb von 5 Minuten zur\xFC" "ck.",
                                                                                          // MsgSignInTimedOut
    "FEHLER!! (Die Anmeldung wurde abgelehnt: {DETAIL})",                                 // ErrSignInRefused
    "FEHLER!! (Die Anmeldung konnte nicht beginnen: {DETAIL})",                           // ErrSignInNotStarted
};

// A list with fewer initialisers than keys would be padded with empty texts; an empty text would end the list for
// anyone reading it in order, so refuse to build such a list at all.
constexpr bool EveryTextPresent(const TextList& list) {
    for (std::string_view text : list) {
        if (text.empty()) return false;
    }
    return true;
}
static_assert(EveryTextPresent(kEnglishTexts), "an English interface text is missing");
static_assert(EveryTextPresent(kGermanTexts), "a German interface text is missing");

constexpr int kFirstIntervalKey = static_cast<int>(TextKey::kInterval5Minutes);
constexpr int kFirstServiceStateKey = static_cast<int>(TextKey::kServiceNotInstalled);
static_assert(static_cast<int>(TextKey::kIntervalDaily) - kFirstIntervalKey + 1 == kIntervalCount);
static_assert(static_cast<int>(TextKey::kServicePaused) - kFirstServiceStateKey + 1 == kServiceStateCount);
static_assert(static_cast<int>(TextKey::kErrSignInNotStarted) + 1 == kTextCount);

const TextList& ListOf(Language language) {
    return language == Language::kGerman ? kGermanTexts : kEnglishTexts;
}

std::string_view TextAt(const std::string_view* list, int index) {
    if (index < 0 || index >= kTextCount) return {};
    return list[index];
}

}  // namespace

std::string_view TextOf(Language language, TextKey key) {
    return TextAt(ListOf(language).data(), static_cast<int>(key));
}

InterfaceTexts::InterfaceTexts() : current_(kEnglishTexts.data()) {}

Language InterfaceTexts::ApplyLanguage(std::string_view language) {
    const Language chosen = LowerCase(language) == "german" ? Language::kGerman : Language::kEnglish;
    current_.store(ListOf(chosen).data(), std::memory_order_release);
    return chosen;
}

Language InterfaceTexts::CurrentLanguage() const {
    return current_.load(std::memory_order_acquire) == kGermanTexts.data() ? Language::kGerman : Language::kEnglish;
}

std::string_view InterfaceTexts::Text(TextKey key) const {
    return TextAt(current_.load(std::memory_order_acquire), static_cast<int>(key));
}

std::string_view InterfaceTexts::ServiceStateText(ServiceState state) const {
    return TextAt(current_.load(std::memory_order_acquire),
                  kFirstServiceStateKey + static_cast<int>(ServiceStateOf(static_cast<int>(state))));
}

std::string_view InterfaceTexts::IntervalText(int position) const {
    if (position < 0 || position >= kIntervalCount) return {};
    return TextAt(current_.load(std::memory_order_acquire), kFirstIntervalKey + position);
}

}  // namespace zendrel
