#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The options of one updater run: each "--name" followed by its value, taken as passed.
class ParsedArguments
{
public:
    // Reads name/value pairs; fails with invalidArguments on a name without "--" or without a
    // value. A name given twice keeps its later value.
    static ParsedArguments parse(const QStringList &arguments);

    // The value of an option that must be present and not empty.
    QString required(const QString &name) const;
    // The value of a required option read as a strict signed 64-bit decimal integer.
    qint64 requiredInt(const QString &name) const;

private:
    QMap<QString, QString> values_;
};
