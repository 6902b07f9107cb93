// The block layout of a citation map.
#include "paper/data/citationlayout.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <unordered_map>

namespace quirelle::citations {

namespace {

// The rows of a block's columns: one column for a few papers; for many, the number that makes
// the block about as tall as it is wide.
int rowsFor(int count, double meanWidth, double meanHeight, const Spacing& spacing)
{
    if (count <= spacing.minimumColumnRows)
        return std::max(count, 1);
    const double ratio = (meanWidth + spacing.columnGap) / (meanHeight + spacing.rowGap);
    const int rows = static_cast<int>(std::ceil(std::sqrt(count * ratio)));
    return std::clamp(rows, spacing.minimumColumnRows, count);
}

// Places the block's nodes with the edge nearest the centre at x = `inner`, growing away from
// it in `direction` (-1 to the left, 1 to the right), centred on y = 0. Returns the area.
QRectF placeBlock(const std::vector<int>& members, const std::vector<QSizeF>& sizes, double inner,
                  int direction, const Spacing& spacing, std::vector<QRectF>& out)
{
    const int count = static_cast<int>(members.size());
    double meanWidth = 0;
    double rowHeight = 0;
    for (int i : members) {
        meanWidth += sizes[static_cast<size_t>(i)].width();
        rowHeight = std::max(rowHeight, sizes[static_cast<size_t>(i)].height());
    }
    meanWidth /= std::max(count, 1);
    const int rows = rowsFor(count, meanWidth, rowHeight, spacing);
    const double pitch = rowHeight + spacing.rowGap;
    const double height = rows * pitch - spacing.rowGap;
    const double top = -height / 2;

    double x = inner; // the column's edge nearest the centre
    double outer = inner;
    for (int first = 0; first < count; first += rows) {
        const int last = std::min(first + rows, count);
        double width = 0;
        for (int k = first; k < last; ++k)
            width = std::max(width,
                             sizes[static_cast<size_t>(members[static_cast<size_t>(k)])].width());
        for (int k = first; k < last; ++k) {
            const int node = members[static_cast<size_t>(k)];
            const QSizeF size = sizes[static_cast<size_t>(node)];
            // Each paper touches its column's edge nearest the centre, where the lines come in.
            const double left = direction < 0 ? x - size.width() : x;
            const double y = top + (k - first) * pitch + (rowHeight - size.height()) / 2;
            out[static_cast<size_t>(node)] = QRectF(QPointF(left, y), size);
        }
        outer = x + direction * width;
        x = outer + direction * spacing.columnGap;
    }
    return QRectF(QPointF(std::min(inner, outer), top),
                  QPointF(std::max(inner, outer), top + height));
}

} // namespace

Layout layOut(const Neighbourhood& graph, const std::vector<QSizeF>& sizes, const Spacing& spacing)
{
    Layout layout;
    layout.nodes.assign(graph.nodes.size(), QRectF());
    if (graph.nodes.empty())
        return layout;

    // The centre is the first node, in the middle.
    const QSizeF centreSize = sizes.front();
    layout.nodes.front() =
        QRectF(QPointF(-centreSize.width() / 2, -centreSize.height() / 2), centreSize);
    layout.bounds = layout.nodes.front();

    for (Side side : {Side::References, Side::Citations}) {
        const int direction = side == Side::References ? -1 : 1;
        double inner = direction * (centreSize.width() / 2 + spacing.blockGap);
        for (int level = 1; level <= 2; ++level) {
            std::vector<int> members;
            for (size_t i = 0; i < graph.nodes.size(); ++i) {
                if (graph.nodes[i].level == level && graph.nodes[i].side == side)
                    members.push_back(static_cast<int>(i));
            }
            if (members.empty())
                continue;
            // The second level in the order of the papers of the first that lead to them, so
            // that their lines cross as little as may be; otherwise by year.
            std::unordered_map<int, double> leadY;
            if (level == 2) {
                std::unordered_map<int, std::pair<double, int>> sums;
                for (const Edge& e : graph.edges) {
                    const int a = graph.indexById.at(e.citing);
                    const int b = graph.indexById.at(e.cited);
                    for (auto [here, there] : {std::pair{a, b}, std::pair{b, a}}) {
                        const Node& lead = graph.nodes[static_cast<size_t>(there)];
                        if (graph.nodes[static_cast<size_t>(here)].level == 2 && lead.level == 1 &&
                            lead.side == side) {
                            auto& [sum, n] = sums[here];
                            sum += layout.nodes[static_cast<size_t>(there)].center().y();
                            ++n;
                        }
                    }
                }
                for (const auto& [i, sum] : sums)
                    leadY[i] = sum.first / sum.second;
            }
            const auto key = [&](int i) {
                const Node& n = graph.nodes[static_cast<size_t>(i)];
                const auto lead = leadY.find(i);
                return std::tuple(lead == leadY.end() ? 0.0 : lead->second, n.year.trimmed(),
                                  nodeLabel(n), n.id);
            };
            std::sort(members.begin(), members.end(),
                      [&](int a, int b) { return key(a) < key(b); });
            Block block;
            block.side = side;
            block.level = level;
            block.count = static_cast<int>(members.size());
            block.area = placeBlock(members, sizes, inner, direction, spacing, layout.nodes);
            block.heading = QRectF(block.area.left(), block.area.top() - spacing.headingHeight,
                                   block.area.width(), spacing.headingHeight);
            layout.bounds |= block.area | block.heading;
            layout.blocks.push_back(block);
            inner = (direction < 0 ? block.area.left() : block.area.right()) +
                    direction * spacing.blockGap;
        }
    }
    return layout;
}

} // namespace quirelle::citations
