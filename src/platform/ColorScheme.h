#pragma once

#include <QDBusVariant>
#include <QObject>

namespace framlet {

// The desktop's light or dark preference, from the settings portal
// (org.freedesktop.appearance color-scheme), followed while the program runs.
class ColorScheme : public QObject {
    Q_OBJECT

public:
    enum class Preference { none, dark, light };

    static ColorScheme& shared();
    explicit ColorScheme(QObject* parent = nullptr);

    Preference preference() const { return m_preference; }

Q_SIGNALS:
    void preferenceChanged();

private Q_SLOTS:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void read();
    void adopt(uint value);

    Preference m_preference = Preference::none;
};

}  // namespace framlet
