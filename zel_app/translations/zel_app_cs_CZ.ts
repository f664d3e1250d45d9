<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="cs_CZ">
    <context>
        <name>ur::CxAboutDlg</name>
        <message>
            <source>About %1</source>
            <translation>O aplikaci %1</translation>
        </message>
        <message>
            <source>Version %1.%2.%3</source>
            <translation>Verze %1.%2.%3</translation>
        </message>
    </context>
    <context>
        <name>ZelApp</name>
        <message>
            <source>Fatal</source>
            <translation>Kritická chyba</translation>
        </message>
        <message>
            <source>No ZEL plugins found. Cannot start the application.</source>
            <translation>Nebyl nalezen žádný zásuvný modul ZEL. Aplikaci nelze spustit.</translation>
        </message>
    </context>
    <context>
        <name>urs::zel::ZelConvertor</name>
        <message>
            <source>Cancelling...</source>
            <translation>Ruším…</translation>
        </message>
    </context>
    <context>
        <name>ZelDialog</name>
        <message>
            <source>ZEL convertor</source>
            <translation>Převodník ZEL</translation>
        </message>
        <message>
            <source>ZEL</source>
            <translation>ZEL</translation>
        </message>
        <message>
            <source>Input data</source>
            <translation>Vstupní data</translation>
        </message>
        <message>
            <source>Directory:</source>
            <translation>Adresář:</translation>
        </message>
        <message>
            <source>...</source>
            <translation>…</translation>
        </message>
        <message>
            <source>Select input directory with RAW images.</source>
            <translation>Vyberte vstupní adresář se snímky RAW.</translation>
        </message>
        <message>
            <source>Process all subfolders</source>
            <translation>Zpracovat i všechny podadresáře</translation>
        </message>
        <message>
            <source>Do not process already converted files</source>
            <translation>Přeskočit již převedené soubory</translation>
        </message>
        <message>
            <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Program checks if corresponding ZEL file exists. If so then the input RAW file will not be processed.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
            <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Program ověří, zda k souboru už existuje odpovídající soubor ZEL. Pokud ano, vstupní soubor RAW se znovu nezpracuje.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
        </message>
        <message>
            <source>RAW bit color depth:</source>
            <translation>Bitová hloubka RAW:</translation>
        </message>
        <message>
            <source>Auto detect color depth</source>
            <translation>Zjistit hloubku automaticky</translation>
        </message>
        <message>
            <source>Bayer grid:</source>
            <translation>Bayerova maska:</translation>
        </message>
        <message>
            <source>Configuration of Bayer's grid in the RAW format.</source>
            <translation>Uspořádání Bayerovy masky ve formátu RAW.</translation>
        </message>
        <message>
            <source>Debayerize output</source>
            <translation>Výstup demozaikovat</translation>
        </message>
        <message>
            <source>Demosaicing algorithm:</source>
            <translation>Algoritmus demozaikování:</translation>
        </message>
        <message>
            <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Algoritmh of demosaicing:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Averaging&lt;/b&gt; - classic algorithm of demosaicing,&lt;/li&gt;&lt;li&gt;&lt;b&gt;AHD&lt;/b&gt; - Adaptive homogeninity-directed demosaicing algorithm.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Simple ZEL&lt;/b&gt; - classic algorithm without interpolation. The debayred image will have 1/4 resolution of the original RAW image. &lt;/li&gt;&lt;/ul&gt;&lt;/body&gt;&lt;/html&gt;</source>
            <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Algoritmus demozaikování:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Průměrování&lt;/b&gt; – klasické demozaikování s interpolací,&lt;/li&gt;&lt;li&gt;&lt;b&gt;AHD&lt;/b&gt; – adaptivní demozaikování řízené homogenitou,&lt;/li&gt;&lt;li&gt;&lt;b&gt;Jednoduchý ZEL&lt;/b&gt; – klasický postup bez interpolace. Výsledný obraz má čtvrtinový počet pixelů oproti původnímu snímku RAW.&lt;/li&gt;&lt;/ul&gt;&lt;/body&gt;&lt;/html&gt;</translation>
        </message>
        <message>
            <source>ZEL channels normalization:</source>
            <translation>Normalizace kanálů ZEL:</translation>
        </message>
        <message>
            <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;How the 16bit image channels after the ZEL conversion will be normalized:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Separated&lt;/b&gt; - channels will be normalized separated according to their maximum intensity value. Information loss using this method is minimal, but the ZEL image loses it's original color look.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Together&lt;/b&gt; - channels will be normalized together according to their total maximum intensity value. Information loss using this method is greater, but the image keeps most of it's original color look.&lt;/li&gt;&lt;/ul&gt;&lt;/body&gt;&lt;/html&gt;</source>
            <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Jak se po převodu ZEL normalizují kanály 16bitového obrazu:&lt;/p&gt;&lt;ul&gt;&lt;li&gt;&lt;b&gt;Odděleně&lt;/b&gt; – každý kanál podle své vlastní nejvyšší intenzity. Ztráta informace je nejmenší, obraz ZEL však ztratí původní barevný vzhled.&lt;/li&gt;&lt;li&gt;&lt;b&gt;Společně&lt;/b&gt; – všechny kanály podle nejvyšší intenzity ze všech. Ztráta informace je větší, obraz si ale z velké části zachová původní barevný vzhled.&lt;/li&gt;&lt;/ul&gt;&lt;/body&gt;&lt;/html&gt;</translation>
        </message>
        <message>
            <source>Number of CPU cores:</source>
            <translation>Počet jader procesoru:</translation>
        </message>
        <message>
            <source>Maximum number of CPU cores used for the conversion to ZEL.</source>
            <translation>Nejvyšší počet jader procesoru, která převod do ZEL použije.</translation>
        </message>
        <message>
            <source>Crop RAW image</source>
            <translation>Oříznout snímek RAW</translation>
        </message>
        <message>
            <source>Apply thresholding</source>
            <translation>Použít prahování</translation>
        </message>
        <message>
            <source>Apply threshold to remove overexposed and underexposed pixels.</source>
            <translation>Prahováním odstranit přeexponované a podexponované pixely.</translation>
        </message>
        <message>
            <source>Left:</source>
            <translation>Vlevo:</translation>
        </message>
        <message>
            <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;How many calibration rows/columns of the RAW image should be avoided as they do not contain any image data.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
            <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Kolik kalibračních řádků či sloupců snímku RAW vynechat, protože neobsahují obrazová data.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
        </message>
        <message>
            <source>Right:</source>
            <translation>Vpravo:</translation>
        </message>
        <message>
            <source>Top:</source>
            <translation>Nahoře:</translation>
        </message>
        <message>
            <source>Bottom:</source>
            <translation>Dole:</translation>
        </message>
        <message>
            <source>Red:</source>
            <translation>Červená:</translation>
        </message>
        <message>
            <source>Lower threshold for red on mono channel.</source>
            <translation>Dolní práh červeného nebo jediného (mono) kanálu.</translation>
        </message>
        <message>
            <source>Upper threshold for red or mono channel.</source>
            <translation>Horní práh červeného nebo jediného (mono) kanálu.</translation>
        </message>
        <message>
            <source>Green:</source>
            <translation>Zelená:</translation>
        </message>
        <message>
            <source>Lower threshold for green channel.</source>
            <translation>Dolní práh zeleného kanálu.</translation>
        </message>
        <message>
            <source>Upper threshold for green channel.</source>
            <translation>Horní práh zeleného kanálu.</translation>
        </message>
        <message>
            <source>Blue:</source>
            <translation>Modrá:</translation>
        </message>
        <message>
            <source>Lower threshold for blue channel.</source>
            <translation>Dolní práh modrého kanálu.</translation>
        </message>
        <message>
            <source>Upper threshold for blue channel.</source>
            <translation>Horní práh modrého kanálu.</translation>
        </message>
        <message>
            <source>Reverse ZEL</source>
            <translation>Zpětný převod ZEL</translation>
        </message>
        <message>
            <source>Input directory </source>
            <translation>Vstupní adresář </translation>
        </message>
        <message>
            <source>Select the input directory with ZEL images.</source>
            <translation>Vyberte vstupní adresář s obrázky ZEL.</translation>
        </message>
        <message>
            <source>Output directory</source>
            <translation>Výstupní adresář</translation>
        </message>
        <message>
            <source>Select the output directory where the transformed images (recovered RAWs) will be saved.</source>
            <translation>Vyberte výstupní adresář, kam se uloží obnovené snímky RAW.</translation>
        </message>
        <message>
            <source>Number of CPU cores</source>
            <translation>Počet jader procesoru</translation>
        </message>
        <message>
            <source>Preferences</source>
            <translation>Předvolby</translation>
        </message>
        <message>
            <source>Language:</source>
            <translation>Jazyk:</translation>
        </message>
        <message>
            <source>Progress</source>
            <translation>Průběh</translation>
        </message>
        <message>
            <source>Total:</source>
            <translation>Celkem:</translation>
        </message>
        <message>
            <source>Start</source>
            <translation>Spustit</translation>
        </message>
        <message>
            <source>Start processing</source>
            <translation>Spustit zpracování</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>Zastavit</translation>
        </message>
        <message>
            <source>Stop processing</source>
            <translation>Zastavit zpracování</translation>
        </message>
        <message>
            <source>Protocol:</source>
            <translation>Protokol:</translation>
        </message>
        <message>
            <source>About...</source>
            <translation>O aplikaci…</translation>
        </message>
        <message>
            <source>About this application.</source>
            <translation>Informace o této aplikaci.</translation>
        </message>
        <message>
            <source>Save...</source>
            <translation>Uložit…</translation>
        </message>
        <message>
            <source>Save the protocol to file.</source>
            <translation>Uložit protokol do souboru.</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>Zavřít</translation>
        </message>
        <message>
            <source>Finish program and close window.</source>
            <translation>Ukončit program a zavřít okno.</translation>
        </message>
        <message>
            <source>8bit (256 levels)</source>
            <translation>8 bitů (256 úrovní)</translation>
        </message>
        <message>
            <source>10bit (1024 levels)</source>
            <translation>10 bitů (1024 úrovní)</translation>
        </message>
        <message>
            <source>12bit (4096 levels)</source>
            <translation>12 bitů (4096 úrovní)</translation>
        </message>
        <message>
            <source>14bit (16384 levels)</source>
            <translation>14 bitů (16384 úrovní)</translation>
        </message>
        <message>
            <source>16bit (65536 levels)</source>
            <translation>16 bitů (65536 úrovní)</translation>
        </message>
        <message>
            <source>Averaging ZEL</source>
            <translation>Průměrující ZEL</translation>
        </message>
        <message>
            <source>Simple ZEL</source>
            <translation>Jednoduchý ZEL</translation>
        </message>
        <message>
            <source>Separated</source>
            <translation>Odděleně</translation>
        </message>
        <message>
            <source>Together</source>
            <translation>Společně</translation>
        </message>
        <message>
            <source>Mono:</source>
            <translation>Mono:</translation>
        </message>
        <message>
            <source>Select the input directory</source>
            <translation>Vyberte vstupní adresář</translation>
        </message>
        <message>
            <source>Detecting color bit depth...</source>
            <translation>Zjišťuji bitovou hloubku barev…</translation>
        </message>
        <message>
            <source>Detected color bit depth: %1.</source>
            <translation>Zjištěná bitová hloubka barev: %1.</translation>
        </message>
        <message>
            <source>Failed.</source>
            <translation>Nezdařilo se.</translation>
        </message>
        <message>
            <source>Select the output directory</source>
            <translation>Vyberte výstupní adresář</translation>
        </message>
        <message>
            <source>Warning</source>
            <translation>Upozornění</translation>
        </message>
        <message>
            <source>No input directory selected.</source>
            <translation>Není vybrán vstupní adresář.</translation>
        </message>
        <message>
            <source>On one side of the RAW image will be cut an odd number of rows/columns. It will affect the Bayer's grid on the RAW image. 
 Do you want to continue anyway?</source>
            <translation>Na jedné straně snímku RAW se ořízne lichý počet řádků či sloupců. Tím se posune Bayerova maska snímku.
Chcete přesto pokračovat?</translation>
        </message>
        <message>
            <source>No output directory selected.</source>
            <translation>Není vybrán výstupní adresář.</translation>
        </message>
        <message>
            <source>Question</source>
            <translation>Dotaz</translation>
        </message>
        <message>
            <source>The ZEL conversion is running, do you want to exit the application anyway?</source>
            <translation>Převod ZEL právě probíhá. Chcete aplikaci přesto ukončit?</translation>
        </message>
        <message>
            <source>Select protocol file</source>
            <translation>Vyberte soubor pro protokol</translation>
        </message>
        <message>
            <source>Text files (*.txt);;All files (*.*)</source>
            <translation>Textové soubory (*.txt);;Všechny soubory (*.*)</translation>
        </message>
        <message>
            <source>Error</source>
            <translation>Chyba</translation>
        </message>
        <message>
            <source>Protocol has not been saved!</source>
            <translation>Protokol se nepodařilo uložit.</translation>
        </message>
        <message>
            <source>Information</source>
            <translation>Informace</translation>
        </message>
        <message>
            <source>The new language will take an effect after the application restart.</source>
            <translation>Nový jazyk se projeví po novém spuštění aplikace.</translation>
        </message>
    </context>
</TS>
