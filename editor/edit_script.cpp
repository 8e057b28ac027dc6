#include "editor/edit_script.h"

#include <QXmlStreamWriter>

#include <algorithm>

namespace {

const char* const AnchorNames[AnchorCount] = {"PosTL", "PosTM", "PosTR", "PosML", "PosMM",
                                              "PosMR", "PosBL", "PosBM", "PosBR"};

QString Bool(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// One element: its name, "Active", then the edit's values in their fixed order.
class TElementWriter {
public:
    TElementWriter(QXmlStreamWriter& writer, bool active) : FWriter(writer), FActive(active) {}

    void operator()(const TCropAction& a) {
        Start("Crop");
        Int("X", a.X);
        Int("Y", a.Y);
        Int("Width", a.Width);
        Int("Height", a.Height);
    }
    void operator()(const TResizeAction& a) {
        Start("Resize");
        Int("Width", a.Width);
        Int("Height", a.Height);
    }
    void operator()(const TTextWMAction& a) {
        Start("TextWM");
        Text("Text", a.Text);
        Text("FontName", a.FontName);
        Text("Bold", Bool(a.Bold));
        Text("Italic", Bool(a.Italic));
        Text("UnderLine", Bool(a.UnderLine));
        Text("StrikeOut", Bool(a.StrikeOut));
        Int("FontSize", a.FontSize);
        Text("FontColor", QString::number(a.FontColor));
        Text("Tile", Bool(a.Tile));
        for (int i = 0; i < AnchorCount; ++i)
            Text(AnchorNames[i], Bool(a.Pos[std::size_t(i)]));
    }
    void operator()(const TImageWMAction& a) {
        Start("ImgWM");
        Int("X", a.X);
        Int("Y", a.Y);
        Int("Width", a.Width);
        Int("Height", a.Height);
        Int("Alpha", a.Alpha);
        Text("ImgWM", a.ImgWM);
    }

private:
    void Start(const char* name) {
        FWriter.writeStartElement(QLatin1String(name));
        Text("Active", FActive ? QStringLiteral("yes") : QStringLiteral("no"));
    }
    void Text(const char* name, const QString& value) {
        FWriter.writeAttribute(QLatin1String(name), value);
    }
    void Int(const char* name, int value) { Text(name, QString::number(value)); }

    QXmlStreamWriter& FWriter;
    bool FActive;
};

} // namespace

void TEditScript::Record(TEditAction action) {
    std::erase_if(FEntries, [](const TEntry& e) { return !e.Active; });
    FEntries.push_back(TEntry{std::move(action), true});
}

void TEditScript::DeactivateLastAction() {
    const auto last =
        std::find_if(FEntries.rbegin(), FEntries.rend(), [](const TEntry& e) { return e.Active; });
    if (last != FEntries.rend())
        last->Active = false;
}

void TEditScript::ReactivateNextAction() {
    for (std::size_t i = FEntries.size(); i-- > 0;) {
        if (FEntries[i].Active)
            continue;
        if (i == 0 || FEntries[i - 1].Active) {
            FEntries[i].Active = true;
            return;
        }
    }
}

int TEditScript::CountActiveActions() const {
    return int(
        std::count_if(FEntries.begin(), FEntries.end(), [](const TEntry& e) { return e.Active; }));
}

std::vector<TEditAction> TEditScript::ActiveActions() const {
    std::vector<TEditAction> actions;
    for (const TEntry& e : FEntries)
        if (e.Active)
            actions.push_back(e.Action);
    return actions;
}

QString TEditScript::Xml() const {
    QByteArray text; // written as bytes, so that the declaration names the encoding
    QXmlStreamWriter writer(&text);
    writer.writeStartDocument(QStringLiteral("1.0"), true);
    writer.writeStartElement(QStringLiteral("Action"));
    for (const TEntry& e : FEntries) {
        std::visit(TElementWriter(writer, e.Active), e.Action);
        writer.writeEndElement();
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return QString::fromUtf8(text);
}
