// The application manifest resource, byte for byte and element by element.

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {

QByteArray readFile(const char* path)
{
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Element {
    QString name;
    QString ns;
    QXmlStreamAttributes attributes;
    QString text;
    int depth;
};

std::vector<Element> elementsOf(const QByteArray& xml, QString* error, QStringList* declaration)
{
    std::vector<Element> out;
    QXmlStreamReader r(xml);
    int depth = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartDocument())
            *declaration << r.documentVersion().toString() << r.documentEncoding().toString()
                         << (r.isStandaloneDocument() ? "yes" : "no");
        if (r.isStartElement())
            out.push_back({r.name().toString(), r.namespaceUri().toString(), r.attributes(), {}, depth++});
        if (r.isCharacters() && !r.isWhitespace() && !out.empty())
            out.back().text += r.text().toString();
        if (r.isEndElement())
            --depth;
    }
    if (r.hasError())
        *error = r.errorString();
    return out;
}

QString attr(const Element& e, const char* name) { return e.attributes.value(QLatin1String(name)).toString(); }

}  // namespace

TEST(Manifest, Is568BytesOfUtf8WithCarriageReturnLineEnds)
{
    const QByteArray bytes = readFile(QUILLMERE_MANIFEST_FILE);
    ASSERT_EQ(bytes.size(), 568);
    EXPECT_FALSE(bytes.contains('\n'));
    EXPECT_EQ(bytes.count('\r'), 20);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r"));
    EXPECT_TRUE(bytes.endsWith("</assembly>"));
    EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
    for (char c : bytes)
        EXPECT_TRUE(c == '\r' || (c >= 0x20 && c < 0x7F)) << int(c);
}

TEST(Manifest, HoldsTheIdentityAndTheCommonControlsDependencyOnly)
{
    QString error;
    QStringList declaration;
    const auto elements = elementsOf(readFile(QUILLMERE_MANIFEST_FILE), &error, &declaration);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(declaration, (QStringList{"1.0", "UTF-8", "yes"}));

    QStringList shape;
    for (const auto& e : elements)
        shape << QString(e.depth, QLatin1Char(' ')) + e.name;
    EXPECT_EQ(shape, (QStringList{"assembly", " assemblyIdentity", " description", " dependency",
                                  "  dependentAssembly", "   assemblyIdentity"}));
    ASSERT_EQ(elements.size(), 6u);
    for (const auto& e : elements)
        EXPECT_EQ(e.ns, QStringLiteral("urn:schemas-microsoft-com:asm.v1"));

    EXPECT_EQ(attr(elements[0], "manifestVersion"), QStringLiteral("1.0"));
    EXPECT_EQ(elements[0].attributes.size(), 1);

    const Element& self = elements[1];
    EXPECT_EQ(self.attributes.size(), 4);
    EXPECT_EQ(attr(self, "name"), QStringLiteral("XPStyle Control Demo"));
    EXPECT_EQ(attr(self, "processorArchitecture"), QStringLiteral("x86"));
    EXPECT_EQ(attr(self, "version"), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(attr(self, "type"), QStringLiteral("win32"));

    EXPECT_TRUE(elements[2].text.isEmpty());
    EXPECT_TRUE(elements[2].attributes.isEmpty());

    const Element& controls = elements[5];
    EXPECT_EQ(controls.attributes.size(), 6);
    EXPECT_EQ(attr(controls, "type"), QStringLiteral("win32"));
    EXPECT_EQ(attr(controls, "name"), QStringLiteral("Microsoft.Windows.Common-Controls"));
    EXPECT_EQ(attr(controls, "version"), QStringLiteral("6.0.0.0"));
    EXPECT_EQ(attr(controls, "processorArchitecture"), QStringLiteral("x86"));
    EXPECT_EQ(attr(controls, "publicKeyToken"), QStringLiteral("6595b64144ccf1df"));
    EXPECT_EQ(attr(controls, "language"), QStringLiteral("*"));
}

TEST(Manifest, TheResourceScriptEmbedsItAsManifestOneInUsEnglishBesideTheIcon)
{
    const QString rc = QString::fromUtf8(readFile(QUILLMERE_RESOURCE_SCRIPT));
    EXPECT_TRUE(rc.contains(QRegularExpression(QStringLiteral("^LANGUAGE\\s+0x09\\s*,\\s*0x01\\s*$"),
                                               QRegularExpression::MultilineOption)));
    EXPECT_TRUE(rc.contains(QRegularExpression(QStringLiteral("^1\\s+24\\s+\"quillmere\\.exe\\.manifest\"\\s*$"),
                                               QRegularExpression::MultilineOption)));
    EXPECT_TRUE(rc.contains(QRegularExpression(QStringLiteral("^1\\s+ICON\\s+\"quillmere\\.ico\"\\s*$"),
                                               QRegularExpression::MultilineOption)));
}
