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
inline constexpr char16_t kSmimeSignedMessageClass[] = u"IPM.Note.SMIME.MultipartSigned";

// application/pkcs7-mime (or its x- form), or application/octet-stream
// named *.p7m, as the whole body: an S/MIME encrypted or opaque-signed
// message ([MS-OXOSMIME] 2.1.3.2).
bool isOpaqueSmime(GMimeObject* root);
// multipart/signed with an S/MIME signature ([MS-OXOSMIME] 2.1.3.1).
bool isSmimeClearSigned(GMimeObject* object);

// The file name a signature or encrypted part gets when it names none.
std::u16string securePartName(std::string_view mimeType);

}  // namespace eml
