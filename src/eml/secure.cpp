#include "eml/secure.h"

#include <cstring>

#include "eml/gmime_support.h"

namespace eml {

namespace {

bool endsWithP7m(const char* name) {
    if (!name) return false;
    size_t length = std::strlen(name);
    return length >= 4 && g_ascii_strcasecmp(name + length - 4, ".p7m") == 0;
}

}  // namespace

bool isOpaqueSmime(GMimeObject* root) {
    if (!root) return false;
    std::string type = mimeType(root);
    if (type == "application/pkcs7-mime" || type == "application/x-pkcs7-mime") return true;
    if (type != "application/octet-stream" || !GMIME_IS_PART(root)) return false;
    GMimeContentType* contentType = g_mime_object_get_content_type(root);
    return endsWithP7m(g_mime_object_get_content_disposition_parameter(root, "filename")) ||
           (contentType && endsWithP7m(g_mime_content_type_get_parameter(contentType, "name")));
}

bool isSmimeClearSigned(GMimeObject* object) {
    if (!object || !GMIME_IS_MULTIPART_SIGNED(object)) return false;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    const char* protocol = type ? g_mime_content_type_get_parameter(type, "protocol") : nullptr;
    if (protocol)
        return g_ascii_strcasecmp(protocol, "application/pkcs7-signature") == 0 ||
               g_ascii_strcasecmp(protocol, "application/x-pkcs7-signature") == 0;
    // No protocol named: the signature part says which kind it is.
    GMimeObject* signature = g_mime_multipart_get_count(GMIME_MULTIPART(object)) > 1
                                 ? g_mime_multipart_get_part(GMIME_MULTIPART(object), 1) : nullptr;
    std::string signatureType = signature ? mimeType(signature) : std::string();
    return signatureType == "application/pkcs7-signature" || signatureType == "application/x-pkcs7-signature";
}

std::u16string securePartName(std::string_view type) {
    if (type == "application/pkcs7-signature" || type == "application/x-pkcs7-signature") return u"smime.p7s";
    if (type == "application/pkcs7-mime" || type == "application/x-pkcs7-mime") return kSmimeOpaqueName;
    if (type == "application/pgp-signature") return u"signature.asc";
    if (type == "application/pgp-encrypted") return u"PGPMIME version identification";
    return {};
}

}  // namespace eml
