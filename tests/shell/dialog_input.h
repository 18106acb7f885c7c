// Driving a window's boxes as a user does, for the window tests.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>

// Picks entry `index` of a list as a click does: the window hears activated().
inline void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

// Text typed into a box and the value the renderer holds after it.
struct TypedValue {
    QLineEdit* edit;
    QString text;
    std::function<long long()> held;
    long long expected;
};

// Types each value in turn and checks what the renderer made of it.
inline void ExpectTypedValues(std::initializer_list<TypedValue> values) {
    for (const TypedValue& v : values) {
        v.edit->setText(v.text);
        EXPECT_EQ(v.held(), v.expected)
            << v.edit->objectName().toStdString() << " <- \"" << v.text.toStdString() << '"';
    }
}
