#pragma once
// The settings of the data folder's "Reader.prefs" without a window: shown, changed key by key with the checks the
// window's controls make, the password read without echo, the sender lists edited by address.

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace zendrel {

// Which sender list an address goes into, or comes out of.
enum class SenderListEdit { kAllow, kBlock, kUnlist };

// --settings: the settings as KEY = VALUE lines, the password only as "(set)" or "(empty)", the OAuth 2.0 tokens
// only as "(signed in)" or "(not signed in)". Exit status 0, or 2
// when the system names no data folder.
int ShowSettingsCommand(std::ostream& out, std::ostream& err);

// --set KEY=VALUE...: every assignment is checked before anything is written; a bad one leaves the file untouched
// and gives 2 with the reason on `err`. 1 when the file cannot be written.
int SetSettingsCommand(const std::vector<std::string>& assignments, std::ostream& out, std::ostream& err);

// --set-password: the password is the first line of `in`. Only an `interactive` input (a terminal) is prompted for it.
int SetPasswordCommand(std::istream& in, bool interactive, std::ostream& out, std::ostream& err);

// --sign-out: the stored tokens are forgotten. 1 when they cannot be removed.
int SignOutCommand(std::ostream& out, std::ostream& err);

// --allow, --block, --unlist ADDRESS: with the window's rule, an address that a list already holds in any letter
// case is not added again; --unlist takes it out of both lists, and gives 1 when neither list holds it.
int EditSenderListCommand(SenderListEdit edit, const std::string& address, std::ostream& out, std::ostream& err);

}  // namespace zendrel
