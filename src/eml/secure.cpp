#include "eml/secure.h"

#include "eml/gmime_support.h"

namespace eml {

bool isOpaqueSmime(GMimeObject* root) {
    if (!root) return false;
    std::string type = mimeType(root);
    return type == "application/pkcs7-mime" || type == "application/x-pkcs7-mime";
}

std::u16string securePartName(std::string_view type) {
    if (type == "application/pkcs7-signature" || type == "application/x-pkcs7-signature") return u"smime.p7s";
    if (type == "application/pkcs7-mime" || type == "application/x-pkcs7-mime") return kSmimeOpaqueName;
    if (type == "application/pgp-signature") return u"signature.asc";
    if (type == "application/pgp-encrypted") return u"PGPMIME version identification";
    return {};
}

}  // namespace eml
