#include "editor/edit_script.h"

#include <QDomNamedNodeMap>
#include <QXmlStreamWriter>

#include <algorithm>

namespace {

const QString Active = QStringLiteral("Active");
const QString Yes = QStringLiteral("yes");
const QString No = QStringLiteral("no");
const QString AnchorNames[AnchorCount] = {
    QStringLiteral("PosTL"), QStringLiteral("PosTM"), QStringLiteral("PosTR"),
    QStringLiteral("PosML"), QStringLiteral("PosMM"), QStringLiteral("PosMR"),
    QStringLiteral("PosBL"), QStringLiteral("PosBM"), QStringLiteral("PosBR")};

// The attributes of each element in the order they are written.
QStringList AttributeOrder(const QString& element) {
    if (element == QLatin1String("Crop"))
        return {Active, "X", "Y", "Width", "Height"};
    if (element == QLatin1String("Resize"))
        return {Active, "Width", "Height"};
    if (element == QLatin1String("TextWM")) {
        QStringList names{Active,      "Text",      "FontName", "Bold",      "Italic",
                          "UnderLine", "StrikeOut", "FontSize", "FontColor", "Tile"};
        for (const QString& anchor : AnchorNames)
            names << anchor;
        return names;
    }
    if (element == QLatin1String("ImgWM"))
        return {Active, "X", "Y", "Width", "Height", "Alpha", "ImgWM"};
    return {};
}

QString Bool(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

bool ReadBool(const QDomElement& e, const char* name) {
    return e.attribute(QLatin1String(name)) == QLatin1String("true");
}

int ReadInt(const QDomElement& e, const char* name) {
    return e.attribute(QLatin1String(name)).toInt();
}

bool IsActive(const QDomElement& e) {
    return e.attribute(Active) == Yes;
}

std::vector<QDomElement> Elements(const QDomDocument& document) {
    std::vector<QDomElement> elements;
    for (QDomElement e = document.documentElement().firstChildElement(); !e.isNull();
         e = e.nextSiblingElement())
        elements.push_back(e);
    return elements;
}

} // namespace

void TEditScript::Create() {
    FDocument = QDomDocument();
    FDocument.appendChild(FDocument.createProcessingInstruction(
        QStringLiteral("xml"),
        QStringLiteral("version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"")));
    FDocument.appendChild(FDocument.createElement(QStringLiteral("Action")));
}

QDomElement TEditScript::NewElement(const QString& name) {
    QDomElement e = FDocument.createElement(name);
    e.setAttribute(Active, Yes);
    return e;
}

void TEditScript::Append(const QDomElement& element) {
    QDomElement root = FDocument.documentElement();
    for (QDomElement& e : Elements(FDocument))
        if (!IsActive(e))
            root.removeChild(e);
    root.appendChild(element);
}

void TEditScript::RecordCrop(const TCropAction& a) {
    QDomElement e = NewElement(QStringLiteral("Crop"));
    e.setAttribute(QStringLiteral("X"), a.X);
    e.setAttribute(QStringLiteral("Y"), a.Y);
    e.setAttribute(QStringLiteral("Width"), a.Width);
    e.setAttribute(QStringLiteral("Height"), a.Height);
    Append(e);
}

void TEditScript::RecordResize(const TResizeAction& a) {
    QDomElement e = NewElement(QStringLiteral("Resize"));
    e.setAttribute(QStringLiteral("Width"), a.Width);
    e.setAttribute(QStringLiteral("Height"), a.Height);
    Append(e);
}

void TEditScript::RecordTextWatermark(const TTextWMAction& a) {
    QDomElement e = NewElement(QStringLiteral("TextWM"));
    e.setAttribute(QStringLiteral("Text"), a.Text);
    e.setAttribute(QStringLiteral("FontName"), a.FontName);
    e.setAttribute(QStringLiteral("Bold"), Bool(a.Bold));
    e.setAttribute(QStringLiteral("Italic"), Bool(a.Italic));
    e.setAttribute(QStringLiteral("UnderLine"), Bool(a.UnderLine));
    e.setAttribute(QStringLiteral("StrikeOut"), Bool(a.StrikeOut));
    e.setAttribute(QStringLiteral("FontSize"), a.FontSize);
    e.setAttribute(QStringLiteral("FontColor"), QString::number(a.FontColor));
    e.setAttribute(QStringLiteral("Tile"), Bool(a.Tile));
    for (int i = 0; i < AnchorCount; ++i)
        e.setAttribute(AnchorNames[i], Bool(a.Pos[std::size_t(i)]));
    Append(e);
}

void TEditScript::RecordImageWatermark(const TImageWMAction& a) {
    QDomElement e = NewElement(QStringLiteral("ImgWM"));
    e.setAttribute(QStringLiteral("X"), a.X);
    e.setAttribute(QStringLiteral("Y"), a.Y);
    e.setAttribute(QStringLiteral("Width"), a.Width);
    e.setAttribute(QStringLiteral("Height"), a.Height);
    e.setAttribute(QStringLiteral("Alpha"), a.Alpha);
    e.setAttribute(QStringLiteral("ImgWM"), a.ImgWM);
    Append(e);
}

void TEditScript::DeactivateLastAction() {
    const std::vector<QDomElement> elements = Elements(FDocument);
    for (auto e = elements.rbegin(); e != elements.rend(); ++e)
        if (IsActive(*e)) {
            QDomElement(*e).setAttribute(Active, No);
            return;
        }
}

void TEditScript::ReactivateNextAction() {
    const std::vector<QDomElement> elements = Elements(FDocument);
    for (std::size_t i = elements.size(); i-- > 0;) {
        if (IsActive(elements[i]))
            continue;
        if (i == 0 || IsActive(elements[i - 1])) {
            QDomElement(elements[i]).setAttribute(Active, Yes);
            return;
        }
    }
}

int TEditScript::CountActiveActions() const {
    const std::vector<QDomElement> elements = Elements(FDocument);
    return int(std::count_if(elements.begin(), elements.end(), IsActive));
}

std::vector<TEditAction> TEditScript::ActiveActions() const {
    std::vector<TEditAction> actions;
    for (const QDomElement& e : Elements(FDocument)) {
        if (!IsActive(e))
            continue;
        const QString name = e.tagName();
        if (name == QLatin1String("Crop")) {
            actions.push_back(TCropAction{ReadInt(e, "X"), ReadInt(e, "Y"), ReadInt(e, "Width"),
                                          ReadInt(e, "Height")});
        } else if (name == QLatin1String("Resize")) {
            actions.push_back(TResizeAction{ReadInt(e, "Width"), ReadInt(e, "Height")});
        } else if (name == QLatin1String("TextWM")) {
            TTextWMAction a;
            a.Text = e.attribute(QStringLiteral("Text"));
            a.FontName = e.attribute(QStringLiteral("FontName"));
            a.Bold = ReadBool(e, "Bold");
            a.Italic = ReadBool(e, "Italic");
            a.UnderLine = ReadBool(e, "UnderLine");
            a.StrikeOut = ReadBool(e, "StrikeOut");
            a.FontSize = ReadInt(e, "FontSize");
            // Read as a 64-bit number of which the low 32 bits are the colour.
            a.FontColor = std::uint32_t(e.attribute(QStringLiteral("FontColor")).toLongLong());
            a.Tile = ReadBool(e, "Tile");
            for (int i = 0; i < AnchorCount; ++i)
                a.Pos[std::size_t(i)] = e.attribute(AnchorNames[i]) == QLatin1String("true");
            actions.push_back(a);
        } else if (name == QLatin1String("ImgWM")) {
            actions.push_back(TImageWMAction{ReadInt(e, "X"), ReadInt(e, "Y"), ReadInt(e, "Width"),
                                             ReadInt(e, "Height"), ReadInt(e, "Alpha"),
                                             e.attribute(QStringLiteral("ImgWM"))});
        }
    }
    return actions;
}

// A DOM keeps attributes unordered, so the text is written here with each element's
// attributes in their fixed order (any unknown ones after them, by name).
QString TEditScript::Xml() const {
    QByteArray text; // written as bytes, so that the declaration names the encoding
    QXmlStreamWriter writer(&text);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    writer.writeStartElement(QStringLiteral("Action"));
    for (const QDomElement& e : Elements(FDocument)) {
        writer.writeStartElement(e.tagName());
        QStringList names = AttributeOrder(e.tagName());
        QStringList others;
        const QDomNamedNodeMap attributes = e.attributes();
        for (int i = 0; i < attributes.count(); ++i) {
            const QString name = attributes.item(i).nodeName();
            if (!names.contains(name))
                others << name;
        }
        others.sort();
        for (const QString& name : names + others)
            if (e.hasAttribute(name))
                writer.writeAttribute(name, e.attribute(name));
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return QString::fromUtf8(text);
}
