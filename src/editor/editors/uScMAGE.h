#pragma once
// The two bend editors: a band bent in the plane of the pane with a chosen cross-section across
// its thickness. The pane shows one of the six view sides and two opposite edge lines of the
// grid, the band's outlines; the user drags points of the edge lines and every cross-section
// ring whose edge points moved is rebuilt, carried along with its two edge points ("Normal") or
// with the current profile (uScKANTEN.h) laid between them.
//
// TScMAGE (editor mode 3): an open band; an edge line is a column, a ring is a row (its points
// over columns 0..CPMaxI - 2, the last column repeating the first), the path runs over the
// rows. TScMAGETorus (editor mode 4): a closed band, everything transposed: an edge line is a
// row, a ring is a column (rows 0..CPMaxJ - 2), the path runs over the columns.
//
// Below, a point is named by its position along its ring and the ring's index along the path.
#include <cstdint>

#include "editor/editors/ScEditable.h"
#include "shape/model/uScPrim.h"

namespace editor {

class TScMAGE : public TScEditable {
 public:
  TScMAGE();

  int32_t EdgeA = 0;               // the first edge line; CurrentLine after SyncFromShape
  int32_t EdgeB = 0;               // the edge line opposite it on the ring
  shape::TDbl2DAry SectionPoints;  // the profile, only during Generate and SectionChanged

  // The torus twin transposes the grid.
  bool Transposed() const { return transposed_; }
  // Points along a ring (the seam copy included) and rings along the path.
  int32_t RingLength(const TCS& Shape) const;
  int32_t PathLength(const TCS& Shape) const;
  // The rings the editor rebuilds: all but a sphere's pole rows (TScMAGE); columns
  // 0..CPMaxI - 2 (TScMAGETorus).
  int32_t FirstRing(const TCS& Shape) const;
  int32_t LastRing(const TCS& Shape) const;
  // The grid point at `Position` along ring `Ring` (inline: the ring rebuilds visit every point).
  TDbl3D& PointAt(TCS& Shape, int32_t Position, int32_t Ring) const {
    return transposed_ ? Shape.CP[Ring][Position] : Shape.CP[Position][Ring];
  }
  const TDbl3D& PointAt(const TCS& Shape, int32_t Position, int32_t Ring) const {
    return transposed_ ? Shape.CP[Ring][Position] : Shape.CP[Position][Ring];
  }
  TDbl3D& CommittedAt(TCS& Shape, int32_t Position, int32_t Ring) const {
    return transposed_ ? Shape.DP[Ring][Position] : Shape.DP[Position][Ring];
  }
  bool LockedAt(const TCS& Shape, int32_t Position, int32_t Ring) const {
    return transposed_ ? Shape.RP[Ring][Position] : Shape.RP[Position][Ring];
  }
  bool SelectedAt(const TCS& Shape, int32_t Position, int32_t Ring) const {
    return transposed_ ? Shape.SP[Ring][Position] : Shape.SP[Position][Ring];
  }
  bool MovedAt(const TCS& Shape, int32_t Position, int32_t Ring) const;

  // Ring rebuilds, each over the ring's positions 0..RingLength - 2.
  void RebuildSimilar(TCS& Shape, int32_t Ring);
  void RebuildProfile(TCS& Shape, int32_t Ring);
  void RebuildChamfer(TCS& Shape, int32_t Ring);

  void PublishLineMarks() override;
  bool EqualIntervals(TCS& Shape) override;
  bool CanEqualIntervals(const TCS& Shape) override;
  bool EqualDistance(TCS& Shape) override;
  bool CanEqualDistance(const TCS& Shape) override;
  bool Smooth(TCS& Shape, int32_t Kind) override;
  bool CanSameWidth(const TCS& Shape) override;
  void Generate(TCS& Shape) override;
  // Both twins keep the base's projection.
  void ProjectPoint(const TDbl3D& Point, TDbl2D& Pane) const final;
  void UnprojectPoint(const TDbl2D& Pane, const TDbl3D& Source, TDbl3D& Point) const final;
  bool KeepsSideProjection() const final;
  void ConstrainPoint(TCS& Shape, int32_t I, int32_t J) override;
  void DrawShapeGdiPlus(TCS& Shape, platform::TDrawing& Graphics) override;
  void DrawShapeD2D(TCS& Shape, platform::TDrawing& Canvas) override;
  void SyncFromShape(TCS& Shape) override;
  void ResetForShape() override;
  bool SameWidth(TCS& Shape) override;
  // The current line steps by a quarter of the ring, Q = (ring length - 1) div 4, over 0, Q, 2Q
  // and 3Q, and the view side follows it.
  void PrevLine(TCS& Shape) override;
  void NextLine(TCS& Shape) override;
  bool IsCurrentLineMarked() override;
  void CurrentLineLabel(const TCS& Shape, std::string& Text) override;
  // Rebuilds every handled ring with the current profile (nothing for "Normal").
  bool SectionChanged(TCS& Shape) override;

  void ForEachEditable(const TCS& Shape, const TPointVisit& Visit) const override;

 protected:
  explicit TScMAGE(bool transposed);

 private:
  void RespaceEdge(TCS& Shape, int32_t Edge, int32_t n, int32_t type);
  void SubdivideEdge(TCS& Shape, int32_t Edge, int32_t n);
  void RebuildRing(TCS& Shape, int32_t Ring);
  // The mean distance of the edge points over the rings whose two edge points are both
  // selected; false when it cannot be formed (a zero sum, or fewer than 2 such rings).
  bool MeanWidth(const TCS& Shape, double& Width) const;
  void FollowLine();
  void DrawBand(TCS& Shape, platform::TDrawing& Drawing, bool D2D);

  bool transposed_;
};

}  // namespace editor

// The torus twin is a module of its own; whoever uses one bend editor gets both.
#include "editor/editors/uScMAGETorus.h"  // IWYU pragma: export
