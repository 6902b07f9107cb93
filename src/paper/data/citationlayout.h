// Where a citation map puts its papers: the centre in the middle, the papers it references in
// blocks to its left, the papers that cite it in blocks to its right, the second level further
// out on each side. Positions follow from the sizes the labels need, so that no two papers
// overlap however many there are. No widgets: QPointF and QRectF are plain geometry.
#pragma once

#include "paper/data/citationgraph.h"

#include <QRectF>
#include <QSizeF>

#include <vector>

namespace quirelle::citations {

struct Spacing
{
    double rowGap = 8;          // between two papers of one column
    double columnGap = 24;      // between two columns of one block
    double blockGap = 140;      // between the blocks of two levels, room for the lines
    double headingHeight = 28;  // kept free above each block for its heading
    int minimumColumnRows = 12; // a block of up to this many papers stands in one column
};

// A block: the papers of one side at one level, in columns.
struct Block
{
    Side side = Side::References;
    int level = 1;
    int count = 0;
    QRectF area;    // the papers' rectangles, all of them inside
    QRectF heading; // above the area, as wide as it
};

struct Layout
{
    std::vector<QRectF> nodes; // one for each node of the neighbourhood, in its order
    std::vector<Block> blocks;
    QRectF bounds; // every node and heading
};

// Lays out `graph`, whose node i needs `sizes[i]`. Within a block the papers go by year, then
// label, then id, down each column, the first column nearest the centre; those of the second
// level go first by the height of the papers that lead to them, so that lines cross less.
// Columns are about as many as rows, the block near square, so that hundreds of papers stay in
// reach.
Layout layOut(const Neighbourhood& graph, const std::vector<QSizeF>& sizes,
              const Spacing& spacing = {});

} // namespace quirelle::citations
