// Turns the description of a window's data-access components (JSON, see
// data/Unit1.data.json) into a C++ header, as uic does for the widgets of a
// .ui file: one member per component, and a setupData(form) that creates
// them owned by the form, sets their properties and binds their events to the
// form's handlers. A wrong class, property or handler name then fails the
// build instead of the start of the program. Events of data-access
// components are plain callbacks, not Qt signals: a handler is called
// directly, and what it throws reaches the operation that raised the event
// without passing through Qt's signal dispatch.
//
// Usage: kolvara-datagen DESCRIPTION.json OUTPUT.h

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "kolvara-datagen: %s\n", qPrintable(message));
    std::exit(1);
}

QString cString(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '"': out += QStringLiteral("\\\""); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default: out += c;
        }
    }
    return out + QLatin1Char('"');
}

bool isIdentifier(const QString& name)
{
    if (name.isEmpty() || name[0].isDigit())
        return false;
    for (QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    return true;
}

QString value(const QJsonValue& v, const QStringList& components, const QString& where, const QString& form)
{
    if (v.isString())
        return cString(v.toString());
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isDouble())
        return QString::number(v.toInteger());
    if (v.isArray()) {
        QStringList items;
        for (const QJsonValue& item : v.toArray()) {
            if (!item.isString())
                fail(where + ": a list may hold only strings");
            items << cString(item.toString());
        }
        return QStringLiteral("std::vector<std::string>{") + items.join(QStringLiteral(", ")) + QLatin1Char('}');
    }
    if (v.isObject()) {
        const QJsonObject o = v.toObject();
        if (o.contains(QStringLiteral("ref"))) {
            const QString target = o.value(QStringLiteral("ref")).toString();
            if (!components.contains(target))
                fail(where + ": no component named " + target);
            return target;
        }
        if (o.contains(QStringLiteral("tr"))) // a text a person reads, in the program's language
            return QStringLiteral("QCoreApplication::translate(%1, %2)")
                .arg(cString(form), cString(o.value(QStringLiteral("tr")).toString()));
        if (o.contains(QStringLiteral("enum"))) {
            const QString name = o.value(QStringLiteral("enum")).toString();
            if (!isIdentifier(name))
                fail(where + ": not an enumeration value: " + name);
            return name;
        }
    }
    fail(where + ": a value must be a string, boolean, number, list of strings, {\"ref\": ...}, {\"enum\": ...} "
                 "or {\"tr\": ...}");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        fail(QStringLiteral("usage: kolvara-datagen DESCRIPTION.json OUTPUT.h"));
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly))
        fail(args[1] + ": " + in.errorString());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll(), &error);
    if (document.isNull())
        fail(args[1] + ": " + error.errorString() + " at offset " + QString::number(error.offset));
    const QJsonObject root = document.object();
    const QString form = root.value(QStringLiteral("form")).toString();
    if (!isIdentifier(form))
        fail(args[1] + ": \"form\" must name the window class");
    const QJsonArray components = root.value(QStringLiteral("components")).toArray();

    QStringList names;
    for (const QJsonValue& c : components) {
        const QString name = c.toObject().value(QStringLiteral("name")).toString();
        if (!isIdentifier(name) || names.contains(name))
            fail(args[1] + ": component name missing, invalid or repeated: " + name);
        names << name;
    }

    QString members, creation, properties, events;
    for (const QJsonValue& c : components) {
        const QJsonObject component = c.toObject();
        const QString name = component.value(QStringLiteral("name")).toString();
        const QString cls = component.value(QStringLiteral("class")).toString();
        if (!isIdentifier(cls))
            fail(name + ": invalid class " + cls);
        members += QStringLiteral("    %1* %2 = nullptr;\n").arg(cls, name);
        creation += QStringLiteral("        %1 = new %2(form);\n        %1->setObjectName(QStringLiteral(\"%1\"));\n")
                        .arg(name, cls);
        const QJsonObject props = component.value(QStringLiteral("properties")).toObject();
        for (auto it = props.begin(); it != props.end(); ++it) {
            if (!isIdentifier(it.key()))
                fail(name + ": invalid property " + it.key());
            properties += QStringLiteral("        %1->set%2(%3);\n")
                              .arg(name, it.key(), value(it.value(), names, name + "." + it.key(), form));
        }
        const QJsonObject binds = component.value(QStringLiteral("events")).toObject();
        for (auto it = binds.begin(); it != binds.end(); ++it) {
            const QString handler = it.value().toString();
            if (!isIdentifier(it.key()) || !isIdentifier(handler))
                fail(name + ": invalid event binding " + it.key());
            events += QStringLiteral("        %1->%2 = [form](auto&&... arguments) { form->%3(arguments...); };\n")
                          .arg(name, it.key(), handler);
        }
    }

    QString out;
    out += QStringLiteral("// Made from %1 by kolvara-datagen: edit the description, not this file.\n")
               .arg(QFileInfo(args[1]).fileName());
    out += QStringLiteral(
        "#pragma once\n\n"
        "#include \"ADOConnection.h\"\n#include \"ADOQuery.h\"\n#include \"ADOTable.h\"\n"
        "#include \"DataSource.h\"\n#include \"Field.h\"\n\n#include <QCoreApplication>\n\n"
        "#include <string>\n#include <vector>\n\n"
        "namespace DataUi {\n\n"
        "class %1 {\npublic:\n%2\n"
        "    // Creates the components owned by form, sets them up and binds\n"
        "    // their events to form's handlers.\n"
        "    template <typename Form>\n    void setupData(Form* form)\n    {\n%3\n%4\n%5    }\n};\n\n"
        "} // namespace DataUi\n")
               .arg(form, members, creation, properties, events);

    QSaveFile file(args[2]);
    if (!file.open(QIODevice::WriteOnly) || file.write(out.toUtf8()) < 0 || !file.commit())
        fail(args[2] + ": " + file.errorString());
    return 0;
}
