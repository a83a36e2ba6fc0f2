#include "app/PlotFactories.h"

#include "QuorMethodBase.h"
#include "methods/QuorAndrewsCurves.h"
#include "methods/QuorParallelCoordinates.h"
#include "methods/QuorPermutationmatrix.h"
#include "methods/QuorScatterplotmatrix.h"

namespace {
template <class TPlot>
void Register(TQuorClientManager& Manager, const char* Key)
{
    Manager.RegisterFactory(QString::fromLatin1(Key), [](QWidget* Owner) -> std::unique_ptr<TObject> {
        return std::make_unique<TPlot>(Owner);
    });
}
} // namespace

void RegisterPlotFactories(TQuorClientManager& Manager)
{
    Register<TParallelCoordinates>(Manager, "ParallelCoordinates");
    Register<TPermutationmatrix>(Manager, "PermutationMatrix");
    Register<TScatterplotmatrix>(Manager, "ScatterplotMatrix");
    Register<TAndrewsCurves>(Manager, "AndrewsCurves");
}
