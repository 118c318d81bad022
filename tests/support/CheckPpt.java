// Reads .ppt files with Apache POI (HSLF) and prints what the writer's tests compare: page size,
// slide count, per picture frame its anchor in points, picture type, byte count, SHA-256, rotation
// in degrees and whether it is flipped horizontally and vertically, and
// from the property sets the application, creation and last-save times (seconds since 1970) and
// slide count.
import java.awt.Dimension;
import java.awt.geom.Rectangle2D;
import java.io.FileInputStream;
import java.security.MessageDigest;
import java.util.Arrays;
import org.apache.poi.hpsf.DocumentSummaryInformation;
import org.apache.poi.hpsf.SummaryInformation;
import org.apache.poi.hslf.usermodel.HSLFPictureData;
import org.apache.poi.hslf.usermodel.HSLFPictureShape;
import org.apache.poi.hslf.usermodel.HSLFShape;
import org.apache.poi.hslf.usermodel.HSLFSlide;
import org.apache.poi.hslf.usermodel.HSLFSlideShow;
import org.apache.poi.sl.usermodel.PictureData;

public class CheckPpt {
    public static void main(String[] args) throws Exception {
        for (String path : args) {
            System.out.println("file " + path);
            try (FileInputStream in = new FileInputStream(path); HSLFSlideShow show = new HSLFSlideShow(in)) {
                Dimension page = show.getPageSize();
                System.out.println("page " + page.width + " " + page.height);
                System.out.println("slides " + show.getSlides().size());
                SummaryInformation summary = show.getSlideShowImpl().getSummaryInformation();
                DocumentSummaryInformation document = show.getSlideShowImpl().getDocumentSummaryInformation();
                if (summary != null && document != null)
                    System.out.println("properties " + summary.getApplicationName() + " "
                            + summary.getCreateDateTime().getTime() / 1000 + " "
                            + summary.getLastSaveDateTime().getTime() / 1000 + " " + document.getSlideCount());
                int number = 0;
                for (HSLFSlide slide : show.getSlides()) {
                    ++number;
                    for (HSLFShape shape : slide.getShapes()) {
                        if (!(shape instanceof HSLFPictureShape))
                            continue;
                        Rectangle2D anchor = shape.getAnchor();
                        HSLFPictureData data = ((HSLFPictureShape) shape).getPictureData();
                        // POI has no reader for some blip types (TIFF): the frame, but no picture.
                        byte[] bytes = data == null ? new byte[0] : data.getData();
                        // A DIB comes back behind a file header of POI's own making; what is stored follows it.
                        if (data != null && data.getType() == PictureData.PictureType.DIB)
                            bytes = Arrays.copyOfRange(bytes, 14, bytes.length);
                        StringBuilder digest = new StringBuilder();
                        for (byte b : MessageDigest.getInstance("SHA-256").digest(bytes))
                            digest.append(String.format("%02x", b));
                        System.out.println("picture " + number + " " + anchor.getX() + " " + anchor.getY() + " "
                                + anchor.getWidth() + " " + anchor.getHeight() + " "
                                + (data == null ? "none" : data.getType()) + " " + bytes.length + " " + digest
                                + " " + shape.getRotation() + " " + shape.getFlipHorizontal() + " "
                                + shape.getFlipVertical());
                    }
                }
            } catch (Exception e) {
                System.out.println("error " + e);
            }
            System.out.println("end");
        }
    }
}
