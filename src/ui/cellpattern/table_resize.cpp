#include "ui/cellpattern/table_resize.h"

#include "core/animation/animation_renderer.h"
#include "core/document/velmora_document.h"
#include "core/page/html_table.h"
#include "ui/animation/animation_host.h"
#include "ui/shell/table_pro.h"
#include "ui_table_pro.h"

#include <QComboBox>
#include <QLineEdit>

CHtmlTable* HostTable(AnimationHost* host) {
    if (VelmoraDocument* doc = host->Document())
        return &doc->Table();
    if (TablePro* pro = host->GetTablePro())
        return pro->Table();
    return nullptr;
}

void ResizeHostTable(AnimationHost* host, const TableResize& size, AnimationRenderer* renderer) {
    if (TablePro* pro = host->GetTablePro()) {
        // The width and height boxes pass their text to the record and
        // rewrite the page as if typed; the combo fields only show.
        Ui::TablePro* ui = pro->Controls();
        ui->widthEdit->setText(QString::number(size.width));
        ui->heightEdit->setText(QString::number(size.height));
        if (size.border >= 0)
            ui->borderCombo->setEditText(QString::number(size.border));
        if (size.cells >= 0) {
            ui->rowsCombo->setEditText(QString::number(size.cells));
            ui->columnsCombo->setEditText(QString::number(size.cells));
        }
    }
    if (CHtmlTable* table = HostTable(host)) {
        table->SetWidth(size.width);
        table->SetHeight(size.height);
        // After the size, as the border's limit follows it.
        if (size.border >= 0)
            table->SetBorder(size.border);
        if (size.cells >= 0) {
            table->SetRows(size.cells);
            table->SetColumns(size.cells);
        }
    }
    if (!renderer)
        return;
    if (VelmoraDocument* doc = host->Document()) {
        doc->CopyTableGeometryTo(*renderer);
    } else {
        renderer->SetTableWidth(size.width);
        renderer->SetTableHeight(size.height);
        if (size.border >= 0)
            renderer->SetBorder(size.border);
        if (size.cells >= 0) {
            renderer->SetRows(size.cells);
            renderer->SetColumns(size.cells);
        }
    }
}
