#include "mime/transfer_decoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>

#include "mime/encoded_words.h"
#include "plain_codecs.h"

namespace zendrel {
namespace {

MessagePart Part(const std::string& encoding, std::string body) {
    MessagePart part;
    part.rawHeader = "--b\r\nContent-Type: application/octet-stream\r\nContent-Transfer-Encoding: " + encoding;
    part.header = DecodeEncodedWords(part.rawHeader);
    part.OwnBody(std::move(body));
    return part;
}

// What goes to a file piece by piece is what the decoding as a whole gives, for every encoding, for bodies larger
// than a piece, and for bodies that do not decode.
TEST(DecodedContent, PiecesAddUpToTheWholeDecoding) {
    std::mt19937 random(31);
    std::string bytes(3 * kDecodedPieceSize + 17, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    std::string printable;
    for (char c : bytes) {
        printable += c == '=' ? std::string("=3D") : c == '\n' ? std::string("=0A") : std::string(1, c);
    }
    const std::string lines = testsupport::EncodeBase64(bytes, testsupport::Base64Alphabet::Standard, 76);
    const MessagePart cases[] = {
        Part("base64", lines),
        Part("BASE64", "QUJD\r\nRA=="),
        Part("base64", " \r\n\r\n "),           // the empty content
        Part("base64", lines + "\t"),             // damaged at its very end
        Part("base64", "QUJDR"),
        Part("quoted-printable", printable + "=\r\nsoft=\r\n=41"),
        Part("7bit", bytes),
        Part("8bit", ""),
    };
    for (const MessagePart& part : cases) {
        const std::optional<std::string> whole = DecodeTransferEncoding(part);
        const DecodedContent content(part);
        ASSERT_EQ(content.Decodes(), whole.has_value()) << part.header;
        if (!whole) continue;
        EXPECT_EQ(content.Size(), whole->size()) << part.header;
        std::string joined;
        EXPECT_TRUE(content.ForEachPiece([&](std::string_view piece) {
            EXPECT_LE(piece.size(), std::max(kDecodedPieceSize, part.body.size())) << part.header;
            joined += piece;
            return true;
        }));
        EXPECT_EQ(joined, *whole) << part.header;
    }
}

}  // namespace
}  // namespace zendrel
