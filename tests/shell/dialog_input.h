// Driving a window's boxes as a user does, for the window tests.
#pragma once

#include "ui/controls/color_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>

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

// Table Properties' controls by their object names, as a user finds them
// by their labels.
struct TableProControls {
    QCheckBox* showCellsCheck;
    QLineEdit* widthEdit;
    QLineEdit* heightEdit;
    QComboBox* borderCombo;
    QComboBox* rowsCombo;
    QComboBox* columnsCombo;
    CColorBox* cellColorBox;
    CColorBox* pageColorBox;
    QPushButton* animateTableButton;
};
inline std::shared_ptr<TableProControls> TablePropertiesControls(QWidget* window) {
    auto find = [window](const char* name) {
        QWidget* w = window->findChild<QWidget*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    };
    return std::make_shared<TableProControls>(TableProControls{
        qobject_cast<QCheckBox*>(find("showCellsCheck")),
        qobject_cast<QLineEdit*>(find("widthEdit")), qobject_cast<QLineEdit*>(find("heightEdit")),
        qobject_cast<QComboBox*>(find("borderCombo")), qobject_cast<QComboBox*>(find("rowsCombo")),
        qobject_cast<QComboBox*>(find("columnsCombo")),
        qobject_cast<CColorBox*>(find("cellColorBox")),
        qobject_cast<CColorBox*>(find("pageColorBox")),
        qobject_cast<QPushButton*>(find("animateTableButton"))});
}
