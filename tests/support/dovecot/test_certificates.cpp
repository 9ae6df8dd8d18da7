#include "dovecot/test_certificates.h"

#include <cstdlib>
#include <string>

#include "test_files.h"

namespace zendrel::testsupport {

const std::filesystem::path& TestCertificatesFolder() {
    static testsupport::TemporaryFolder folder("zendrel-certificates");
    static const bool made = [] {
        const std::string command =
            "sh '" ZENDREL_DOVECOT_SUPPORT_DIR "/make_certificates.sh' '" + folder.Path().string() + "'";
        return folder.Created() && std::system(command.c_str()) == 0;
    }();
    static const std::filesystem::path none;
    return made ? folder.Path() : none;
}

ServerCertificate TestServerCertificate(const char* name) {
    const std::filesystem::path& folder = TestCertificatesFolder();
    return {folder / (std::string(name) + ".pem"), folder / (std::string(name) + ".key")};
}

}  // namespace zendrel::testsupport
