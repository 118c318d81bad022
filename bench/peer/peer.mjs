// The peer's side of bench/run: the same job as `engine_bench save`, done with pptxgenjs.
//   node peer.mjs FOLDER COUNT TARGET.pptx
// Slides are 10 x 7.5 inches like the engine's; every picture gets the default box
// (left 55, top -60, width 612, height 792 points) given in inches.
import pptxgen from "pptxgenjs";

const [folder, count, target] = process.argv.slice(2);
const presentation = new pptxgen();
presentation.layout = "LAYOUT_4x3";
for (let i = 1; i <= Number(count); ++i) {
    presentation.addSlide().addImage({ path: `${folder}/image${i}.jpg`, x: 55 / 72, y: -60 / 72, w: 8.5, h: 11 });
}
await presentation.writeFile({ fileName: target });
