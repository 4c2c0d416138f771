// placeholder until the first picture decoder lands
namespace vs {}
