// The mesh's edge list against the triangles it replaces when drawn as lines.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

#include "view/mesh/mesh_edges.h"
#include "view/mesh/source_mesh.h"

namespace pelorin {
namespace {

// The arrays of grids laid one after the other, each frame with a distinct value per
// cell so that every grid point has its own height within its source.
struct BuiltMesh {
  std::vector<float> vertices;
  std::vector<int> sourceOf;  // per vertex
};

BuiltMesh Build(const std::vector<MeshGrid>& grids) {
  BuiltMesh mesh;
  const size_t floats = MeshGridVertexCount(grids) * 3;
  mesh.vertices.assign(floats, 0.0f);
  std::vector<float> colours(floats, 0.0f);
  size_t offset = 0;
  for (size_t k = 0; k < grids.size(); ++k) {
    const MeshGrid g = grids[k];
    std::vector<int32_t> cells(static_cast<size_t>(g.width * g.height));
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = 6 * static_cast<int32_t>(i);
    MeshFrame frame;
    frame.width = g.width;
    frame.height = g.height;
    frame.cells = cells.data();
    const size_t written = BuildSourceMesh(offset, frame, MeshColouring{}, mesh.vertices, colours);
    mesh.sourceOf.insert(mesh.sourceOf.end(), written / 3, static_cast<int>(k));
    offset += written;
  }
  return mesh;
}

// An undirected edge between two grid points of one source.
using Point = std::array<float, 4>;  // source, x, y, z
using Edge = std::pair<Point, Point>;

Edge EdgeOf(const BuiltMesh& mesh, uint32_t a, uint32_t b) {
  auto point = [&](uint32_t v) {
    const float* p = &mesh.vertices[3 * v];
    return Point{static_cast<float>(mesh.sourceOf[v]), p[0], p[1], p[2]};
  };
  const Point pa = point(a), pb = point(b);
  return pa < pb ? Edge{pa, pb} : Edge{pb, pa};
}

// The lines that drawing the triangles in line mode leaves standing: each edge at its
// last drawing, in drawing order, with the vertex indices of that drawing.
std::vector<uint32_t> LastDrawings(const BuiltMesh& mesh) {
  std::vector<std::pair<uint32_t, uint32_t>> drawn;
  for (uint32_t t = 0; 3 * t + 2 < mesh.sourceOf.size(); ++t) {
    const uint32_t v = 3 * t;
    drawn.insert(drawn.end(), {{v, v + 1}, {v + 1, v + 2}, {v + 2, v}});
  }
  std::map<Edge, size_t> last;
  for (size_t i = 0; i < drawn.size(); ++i) last[EdgeOf(mesh, drawn[i].first, drawn[i].second)] = i;
  std::vector<uint32_t> out;
  for (size_t i = 0; i < drawn.size(); ++i) {
    if (last[EdgeOf(mesh, drawn[i].first, drawn[i].second)] != i) continue;
    out.push_back(drawn[i].first);
    out.push_back(drawn[i].second);
  }
  return out;
}

TEST(MeshEdgeIndices, EveryEdgeOnceWhereTheTrianglesDrawItLast) {
  // Sources of different sizes, one without squares, one a single square.
  const std::vector<MeshGrid> grids = {{4, 3}, {1, 5}, {2, 2}, {3, 6}};
  const BuiltMesh mesh = Build(grids);
  ASSERT_EQ(mesh.sourceOf.size(), 6u * (3 * 2 + 0 + 1 + 2 * 5));

  const std::vector<uint32_t> edges = MeshEdgeIndices(grids, mesh.sourceOf.size());
  EXPECT_EQ(edges, LastDrawings(mesh));
  // A lone square has five edges; a 64 x 128 panel about half the triangles' lines.
  EXPECT_EQ(MeshEdgeIndices(std::vector<MeshGrid>{{2, 2}}, 6).size(), 2u * 5);
  EXPECT_EQ(MeshEdgeIndices(std::vector<MeshGrid>{{64, 128}}, 6u * 63 * 127).size(),
            2u * (3 * 63 * 127 + 63 + 127));
}

TEST(MeshEdgeIndices, GridsThatDoNotMatchTheArraysGiveNoList) {
  const std::vector<MeshGrid> grids = {{3, 3}};
  EXPECT_TRUE(MeshEdgeIndices(grids, 6 * 4 - 1).empty());
  EXPECT_TRUE(MeshEdgeIndices(grids, 6 * 4 + 6).empty());
  EXPECT_TRUE(MeshEdgeIndices({}, 6).empty());
  EXPECT_TRUE(MeshEdgeIndices(std::vector<MeshGrid>{{1, 9}, {0, 0}, {-3, 5}}, 0).empty());
  // Negative or degenerate sizes take no room and add no lines.
  EXPECT_EQ(MeshEdgeIndices(std::vector<MeshGrid>{{-3, 5}, {2, 2}}, 6).size(), 10u);
}

TEST(MeshEdgeList, FollowsTheLayoutAcrossPaints) {
  MeshEdgeList list;
  const std::vector<MeshGrid> small = {{2, 2}};
  const std::vector<MeshGrid> large = {{3, 3}};
  EXPECT_EQ(list.For(small, 6).size(), 10u);
  EXPECT_EQ(list.For(large, 24).size(), 2u * (3 * 4 + 2 + 2));
  EXPECT_TRUE(list.For(large, 6).empty());  // arrays sized without these grids
  EXPECT_EQ(list.For(small, 6).size(), 10u);
}

}  // namespace
}  // namespace pelorin
