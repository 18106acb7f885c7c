#include "core/animation/animation_record.h"

#include "core/animation/animation_types.h"
#include "core/animation/renderer_parameters.h"
#include "core/base/color_ref.h"
#include "core/base/version.h"

#include <QStringList>

namespace {

// Paths may hold anything but a line break; backslashes are doubled so that
// a Windows path reads back as it was.
QString Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (ch == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (ch == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else
            out += ch;
    }
    return out;
}

QString Unescape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('\\') || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == QLatin1Char('n')   ? QChar(u'\n')
               : next == QLatin1Char('r') ? QChar(u'\r')
                                          : next;
    }
    return out;
}

QString ValueText(const RendererParameter& p, const AnimationRenderer& r) {
    switch (p.kind) {
    case RendererParameter::String:
        return Escape(p.getText ? p.getText(r) : QString());
    case RendererParameter::Color:
        return ColorText(COLORREF(p.get(r)));
    case RendererParameter::Boolean:
        return p.get(r) ? QStringLiteral("1") : QStringLiteral("0");
    case RendererParameter::Integer:
        break;
    }
    return QString::number(p.get(r));
}

} // namespace

QByteArray AnimationRecordId() {
    return QByteArrayLiteral("VELMORA 1.0");
}

QString AnimationRecord::Value(const QString& name) const {
    for (const auto& [key, value] : values)
        if (key == name)
            return value;
    return QString();
}

QString RendererTypeName(const AnimationRenderer& renderer) {
    for (const AnimationTypeInfo& t : AnimationTypes())
        if (t.kind == renderer.Kind())
            return t.cliName;
    return QString();
}

QByteArray ComposeAnimationRecord(const AnimationRenderer& renderer) {
    const QString type = RendererTypeName(renderer);
    if (type.isEmpty())
        return QByteArray();
    QString text = QStringLiteral("type=") + type + QLatin1Char('\n') + QStringLiteral("version=") +
                   VelmoraVersion() + QLatin1Char('\n');
    for (const RendererParameter& p : RendererParameters(type)) {
        // Tile is an operation done before the save, not a value.
        if (p.deferred)
            continue;
        text += p.name + QLatin1Char('=') + ValueText(p, renderer) + QLatin1Char('\n');
    }
    if (renderer.UsesRandomness())
        text += QStringLiteral("seed=%1\n").arg(renderer.GetLastSeed());
    return text.toUtf8();
}

std::optional<AnimationRecord> ParseAnimationRecord(const QByteArray& data) {
    AnimationRecord record;
    const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return std::nullopt;
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (key == QLatin1String("type")) {
            record.type = value;
        } else if (key == QLatin1String("version")) {
            record.version = value;
        } else if (key == QLatin1String("seed")) {
            bool ok = false;
            const uint seed = value.toUInt(&ok);
            if (!ok)
                return std::nullopt;
            record.seed = std::uint32_t(seed);
        } else {
            record.values.emplace_back(key, value);
        }
    }
    if (record.type.isEmpty())
        return std::nullopt;
    return record;
}

std::optional<AnimationRecord> FindAnimationRecord(const GifAnimation& animation) {
    for (const GifApplicationExtension& e : animation.applications)
        if (e.identifier == AnimationRecordId())
            return ParseAnimationRecord(e.data);
    return std::nullopt;
}

Status ApplyAnimationRecord(const AnimationRecord& record, AnimationRenderer& renderer) {
    const std::vector<RendererParameter> parameters = RendererParameters(record.type);
    QStringList skipped;
    for (const auto& [name, value] : record.values) {
        const RendererParameter* found = nullptr;
        for (const RendererParameter& p : parameters)
            if (p.name == name && !p.deferred)
                found = &p;
        if (!found) {
            skipped << name;
            continue;
        }
        if (found->kind == RendererParameter::String) {
            if (found->setText)
                found->setText(renderer, Unescape(value));
            continue;
        }
        if (found->kind == RendererParameter::Color) {
            const std::optional<COLORREF> color = ParseColorText(value);
            if (!color) {
                skipped << name;
                continue;
            }
            found->set(renderer, int(*color));
            continue;
        }
        bool ok = false;
        const int number = value.toInt(&ok);
        if (!ok) {
            skipped << name;
            continue;
        }
        found->set(renderer, number);
    }
    if (record.seed)
        renderer.SetFixedSeed(record.seed);
    if (!skipped.isEmpty()) {
        // Values from another version are the likely cause: say which one.
        const QString from =
            record.version.isEmpty() || record.version == VelmoraVersion()
                ? QString()
                : QStringLiteral(" (it was saved by Velmora %1)").arg(record.version);
        return Status::Error(QStringLiteral("These values of the %1 animation could not be "
                                            "restored%2: %3")
                                 .arg(record.type, from, skipped.join(QStringLiteral(", "))));
    }
    return Status::Ok();
}

std::unique_ptr<AnimationRenderer> CreateRendererFromRecord(const AnimationRecord& record,
                                                            Status* status) {
    std::unique_ptr<AnimationRenderer> renderer = CreateRendererByName(record.type);
    if (!renderer) {
        if (status)
            *status = Status::Error(
                QStringLiteral("The animation type '%1' is not known").arg(record.type));
        return nullptr;
    }
    const Status applied = ApplyAnimationRecord(record, *renderer);
    if (status)
        *status = applied;
    return renderer;
}
