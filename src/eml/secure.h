#pragma once
// Signed and encrypted messages, kept whole: what a clear-signed message
// shows stays its body, the signature and every encrypted blob become
// attachments Outlook can hand to its security handler.

#include <string>
#include <string_view>

#include <gmime/gmime.h>

namespace eml {

inline constexpr char16_t kSmimeOpaqueName[] = u"smime.p7m";
inline constexpr char16_t kSmimeMessageClass[] = u"IPM.Note.SMIME";

// application/pkcs7-mime (or its x- form) as the whole body: an S/MIME
// encrypted or opaque-signed message.
bool isOpaqueSmime(GMimeObject* root);

// The file name a signature or encrypted part gets when it names none.
std::u16string securePartName(std::string_view mimeType);

}  // namespace eml
