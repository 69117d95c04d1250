#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

#include <functional>

class Dataset;

// One grid column: the field it shows, its title, width and alignment, and an optional number mask.
struct GridColumn
{
    GridColumn(QString field, QString title, int width = 64,
               Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter, QString mask = {},
               bool visible = true)
        : field(std::move(field))
        , title(std::move(title))
        , width(width)
        , alignment(alignment)
        , mask(std::move(mask))
        , visible(visible)
    {}

    QString field;
    QString title;
    int width = 64; // pixels; 0 keeps the view's default
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    QString mask; // e.g. "#0.00#"; empty shows the field's text
    bool visible = true;
};

// Shows a Dataset in a table view with the given columns. Styling (colours, fonts) comes from an
// optional function of (record number, column, role); a tooltip it gives is plain text, shown as
// written. With a writer the cells can be edited.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using Styler = std::function<QVariant(int recNo, const GridColumn &column, int role)>;
    // Stores the text typed into a cell of the current record (parsing it for the column); false
    // refuses the text, and the writer has told the user why.
    using Writer = std::function<bool(const GridColumn &column, const QString &text)>;

    DatasetModel(Dataset &dataset, QVector<GridColumn> columns, QObject *parent = nullptr);

    void setStyler(Styler styler) { m_styler = std::move(styler); }
    // Styles column titles (e.g. their colour); an invalid result keeps the standard look.
    using HeaderStyler = std::function<QVariant(int section, int role)>;
    void setHeaderStyler(HeaderStyler styler) { m_headerStyler = std::move(styler); }
    // The styling changed (not the rows): views repaint cells and titles.
    void restyle();
    // Makes the cells editable; the edit text of a cell is its value's plain text ("12,5").
    void setWriter(Writer writer) { m_writer = std::move(writer); }
    bool isEditable() const { return bool(m_writer); }
    const QVector<GridColumn> &columns() const { return m_columns; }
    Dataset &dataset() const { return m_dataset; }
    // The column index of a field, or -1.
    int columnOfField(const QString &field) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Only the current record takes typed text; an unchanged text writes nothing.
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void findFields();

    Dataset &m_dataset;
    QVector<GridColumn> m_columns;
    // The Dataset's field of each column, found again whenever the rows are read.
    QVector<int> m_fields;
    Styler m_styler;
    HeaderStyler m_headerStyler;
    Writer m_writer;
    bool m_writing = false;
};
