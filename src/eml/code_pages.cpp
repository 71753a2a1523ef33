#include "eml/code_pages.h"

namespace eml {

std::string charsetOfCodePage(int codePage) {
    switch (codePage) {
        case 65001: return "utf-8";
        case 20127: return "us-ascii";
        case 28591: return "iso-8859-1";
        case 28592: return "iso-8859-2";
        case 28605: return "iso-8859-15";
        case 20866: return "koi8-r";
        case 50220: return "iso-2022-jp";
        case 51932: return "euc-jp";
        case 932: return "cp932";
        case 936: return "gbk";
        case 949: return "cp949";
        case 950: return "big5";
        case 437: case 850: case 852: case 866: return "cp" + std::to_string(codePage);
        case 874:
        case 1250: case 1251: case 1252: case 1253: case 1254: case 1255: case 1256: case 1257: case 1258:
            return "windows-" + std::to_string(codePage);
        default: return "windows-1252";
    }
}

}  // namespace eml
