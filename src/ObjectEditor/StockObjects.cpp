#include "ObjectEditor/StockObjects.h"

void InitStockObjects()
{
    TStockObjects::Instance();
}
