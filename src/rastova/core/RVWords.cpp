#include "rastova/core/RVWords.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <string>

#include "common/CodePage.h"

namespace rv {

const TRVLANGUAGECHARINFO LanguageCharInfo[kMsgLanguageCount] = {
    {1, "", 0},             // msSystem
    {1, "", 1252},          // msEnglish
    {1, "", 1252},          // msItalian
    {1, "", 1252},          // msGerman
    {1, "", 1252},          // msSpanish
    {1, "", 1252},          // msFrench
    {1, "", 1252},          // msPortuguese
    {161, "", 1253},        // msGreek
    {204, "", 1251},        // msRussian
    {1, "", 1252},          // msDutch
    {1, "", 1252},          // msSwedish
    {1, "", 1250},          // msPolish
    {1, "", 932},           // msJapanese
    {1, "", 1250},          // msCzech
    {1, "", 1252},          // msFinnish
    {178, "Tahoma", 1256},  // msFarsi
    {1, "", 936},           // msChinese
    {1, "", 950},           // msChineseTraditional
    {1, "", 1252},          // msDanish
    {1, "", 1254},          // msTurkish
    {1, "", 949},           // msKorean
    {1, "", 1250},          // msHungarian
    {1, "", 1252},          // msUser
};

std::u16string LocalizedWords[kMsgLanguageCount][kLocalizedWordCount];

namespace {

// The built-in rows, UTF-8, index 0 to 145. Units and abbreviations (133-136, 139-144) stay in
// English; so do "Sharpen", "Channels" and "Fit" where the language's users know them so.
// A null entry is a word the language has no text for.

// clang-format off
constexpr const char* kWordsEnglish[] = {
    /*   0 */ "Preview", "Original", "Result", "OK", "Cancel", "Lock preview", "Copy Result to Original",
    "Contrast", "Brightness", "Hue",
    /*  10 */ "Saturation", "Value", "Base color", "New color", "Luminosity", "Red", "Green", "Blue",
    "Filter values", "Presets",
    /*  20 */ "Divisor", "Load", "Save", "Equalization", "Threshold", "Equalize", "Histogram", "Gray",
    "Light", "Left",
    /*  30 */ "Top", "Width", "Height", "Color", "Original image quantity", "Lens", "Refraction",
    "Parameters Preview", "Quality", "DCT method",
    /*  40 */ "Smoothing factor", "Gray scale", "Optimal Huffman", "Original size", "Compressed size",
    "Advanced", "Progressive", "Compression", "Image index", "Photometric",
    /*  50 */ "Scanned document info", "Name", "Description", "Page name", "Page number", "of",
    "Horiz. Position (inch)", "Vert. Position (inch)", "Colors", "Transparent",
    /*  60 */ "Transparent color", "Interlaced", "Background", "Horiz. Position", "Vert. Position",
    "Delay time", "Filter", "Wave", "Amplitude", "Wave length",
    /*  70 */ "Phase", "Reflective", "User filter", "Morphing filters", "Window size", "Maximum", "Minimum",
    "Opening", "Closing", "Rotate",
    /*  80 */ "Flip", "Horizontal", "Vertical", "Frequency domain image", "Select the region to clean",
    "Clear", "Reset", "Animate", "Load filter", "Save filter",
    /*  90 */ "Bump map", "Print", "Margins", "inches", "Right", "Bottom", "Position", "Size", "Normal",
    "Fit to page",
    /* 100 */ "Stretch to page", "Specified size", "Gamma correction", "Value", "Print Setup", "Left Margin",
    "Top Margin", "Right Margin", "Bottom Margin", "Location/size",
    /* 110 */ "Top Left", "Top Center", "Top Right", "Center Left", "Center", "Center Right", "Bottom Left",
    "Bottom Center", "Bottom Right", "Close",
    /* 120 */ "Apply", "Measure Units", "Units", "Rate", "All graphics", "Video for Windows", "File", "Mem",
    "Automatically updates your preview with the changes you have selected", "Print All",
    /* 130 */ "Print Selected", "Common Graphic Files", "All Files", "HSV", "HSL", "RGB", "FFT", "Sharpen",
    "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsItalian[] = {
    /*   0 */ "Anteprima", "Originale", "Risultato", "OK", "Annulla", "Blocca anteprima",
    "Copia risultato su originale", "Contrasto", "Luminosità", "Tonalità",
    /*  10 */ "Saturazione", "Valore", "Colore base", "Nuovo colore", "Luminanza", "Rosso", "Verde", "Blu",
    "Valori filtro", "Predefiniti",
    /*  20 */ "Divisore", "Carica", "Salva", "Equalizzazione", "Soglia", "Equalizza", "Istogramma", "Grigio",
    "Luce", "Sinistra",
    /*  30 */ "Alto", "Larghezza", "Altezza", "Colore", "Quantità immagine originale", "Lente", "Rifrazione",
    "Anteprima parametri", "Qualità", "Metodo DCT",
    /*  40 */ "Fattore di smussatura", "Scala di grigi", "Huffman ottimale", "Dimensione originale",
    "Dimensione compressa", "Avanzate", "Progressivo", "Compressione", "Indice immagine", "Fotometria",
    /*  50 */ "Info documento acquisito", "Nome", "Descrizione", "Nome pagina", "Numero pagina", "di",
    "Posizione orizz. (pollici)", "Posizione vert. (pollici)", "Colori", "Trasparente",
    /*  60 */ "Colore trasparente", "Interlacciato", "Sfondo", "Posizione orizz.", "Posizione vert.",
    "Tempo di ritardo", "Filtro", "Onda", "Ampiezza", "Lunghezza d'onda",
    /*  70 */ "Fase", "Riflettente", "Filtro utente", "Filtri morfologici", "Dimensione finestra", "Massimo",
    "Minimo", "Apertura", "Chiusura", "Ruota",
    /*  80 */ "Capovolgi", "Orizzontale", "Verticale", "Immagine nel dominio della frequenza",
    "Seleziona la regione da pulire", "Pulisci", "Ripristina", "Anima", "Carica filtro", "Salva filtro",
    /*  90 */ "Mappa di rilievo", "Stampa", "Margini", "pollici", "Destra", "Basso", "Posizione", "Dimensione",
    "Normale", "Adatta alla pagina",
    /* 100 */ "Estendi alla pagina", "Dimensione specificata", "Correzione gamma", "Valore", "Imposta stampa",
    "Margine sinistro", "Margine superiore", "Margine destro", "Margine inferiore", "Posizione/dimensione",
    /* 110 */ "In alto a sinistra", "In alto al centro", "In alto a destra", "Al centro a sinistra", "Centro",
    "Al centro a destra", "In basso a sinistra", "In basso al centro", "In basso a destra", "Chiudi",
    /* 120 */ "Applica", "Unità di misura", "Unità", "Frequenza", "Tutte le immagini", "Video for Windows",
    "File", "Mem", "Aggiorna automaticamente l'anteprima con le modifiche selezionate", "Stampa tutto",
    /* 130 */ "Stampa selezionati", "File grafici comuni", "Tutti i file", "HSV", "HSL", "RGB", "FFT",
    "Nitidezza", "Canali", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Adatta"};

constexpr const char* kWordsGerman[] = {
    /*   0 */ "Vorschau", "Original", "Ergebnis", "OK", "Abbrechen", "Vorschau sperren",
    "Ergebnis ins Original kopieren", "Kontrast", "Helligkeit", "Farbton",
    /*  10 */ "Sättigung", "Wert", "Grundfarbe", "Neue Farbe", "Luminanz", "Rot", "Grün", "Blau", "Filterwerte",
    "Vorgaben",
    /*  20 */ "Teiler", "Laden", "Speichern", "Tonwertangleichung", "Schwellenwert", "Angleichen", "Histogramm",
    "Grau", "Licht", "Links",
    /*  30 */ "Oben", "Breite", "Höhe", "Farbe", "Anteil des Originalbilds", "Linse", "Brechung",
    "Parametervorschau", "Qualität", "DCT-Methode",
    /*  40 */ "Glättungsfaktor", "Graustufen", "Optimales Huffman", "Originalgröße", "Komprimierte Größe",
    "Erweitert", "Progressiv", "Komprimierung", "Bildindex", "Photometrie",
    /*  50 */ "Info zum gescannten Dokument", "Name", "Beschreibung", "Seitenname", "Seitennummer", "von",
    "Horiz. Position (Zoll)", "Vert. Position (Zoll)", "Farben", "Transparent",
    /*  60 */ "Transparente Farbe", "Interlaced", "Hintergrund", "Horiz. Position", "Vert. Position",
    "Verzögerung", "Filter", "Welle", "Amplitude", "Wellenlänge",
    /*  70 */ "Phase", "Spiegelnd", "Benutzerfilter", "Morphologische Filter", "Fenstergröße", "Maximum",
    "Minimum", "Öffnen", "Schließen", "Drehen",
    /*  80 */ "Spiegeln", "Horizontal", "Vertikal", "Bild im Frequenzbereich",
    "Zu bereinigenden Bereich auswählen", "Löschen", "Zurücksetzen", "Animieren", "Filter laden",
    "Filter speichern",
    /*  90 */ "Bump-Map", "Drucken", "Ränder", "Zoll", "Rechts", "Unten", "Position", "Größe", "Normal",
    "An Seite anpassen",
    /* 100 */ "Auf Seite strecken", "Angegebene Größe", "Gammakorrektur", "Wert", "Druckeinrichtung",
    "Linker Rand", "Oberer Rand", "Rechter Rand", "Unterer Rand", "Position/Größe",
    /* 110 */ "Oben links", "Oben Mitte", "Oben rechts", "Mitte links", "Mitte", "Mitte rechts", "Unten links",
    "Unten Mitte", "Unten rechts", "Schließen",
    /* 120 */ "Übernehmen", "Maßeinheiten", "Einheiten", "Rate", "Alle Grafiken", "Video for Windows", "Datei",
    "Speicher", "Aktualisiert die Vorschau automatisch mit den gewählten Änderungen", "Alles drucken",
    /* 130 */ "Auswahl drucken", "Gängige Grafikdateien", "Alle Dateien", "HSV", "HSL", "RGB", "FFT", "Sharpen",
    "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsSpanish[] = {
    /*   0 */ "Vista Previa", "Original", "Resultado", "Aceptar", "Cancelar", "Bloquear vista previa",
    "Copiar resultado al original", "Contraste", "Brillo", "Tono",
    /*  10 */ "Saturación", "Valor", "Color base", "Color nuevo", "Luminosidad", "Rojo", "Verde", "Azul",
    "Valores del filtro", "Ajustes predefinidos",
    /*  20 */ "Divisor", "Cargar", "Guardar", "Ecualización", "Umbral", "Ecualizar", "Histograma", "Gris", "Luz",
    "Izquierda",
    /*  30 */ "Arriba", "Ancho", "Alto", "Color", "Cantidad de imagen original", "Lente", "Refracción",
    "Vista previa de parámetros", "Calidad", "Método DCT",
    /*  40 */ "Factor de suavizado", "Escala de grises", "Huffman óptimo", "Tamaño original",
    "Tamaño comprimido", "Avanzado", "Progresivo", "Compresión", "Índice de imagen", "Fotometría",
    /*  50 */ "Información del documento escaneado", "Nombre", "Descripción", "Nombre de página",
    "Número de página", "de", "Posición horiz. (pulgadas)", "Posición vert. (pulgadas)", "Colores",
    "Transparente",
    /*  60 */ "Color transparente", "Entrelazado", "Fondo", "Posición horiz.", "Posición vert.",
    "Tiempo de retardo", "Filtro", "Onda", "Amplitud", "Longitud de onda",
    /*  70 */ "Fase", "Reflectante", "Filtro de usuario", "Filtros morfológicos", "Tamaño de ventana", "Máximo",
    "Mínimo", "Apertura", "Cierre", "Girar",
    /*  80 */ "Voltear", "Horizontal", "Vertical", "Imagen en el dominio de frecuencia",
    "Seleccione la región a limpiar", "Borrar", "Restablecer", "Animar", "Cargar filtro", "Guardar filtro",
    /*  90 */ "Mapa de relieve", "Imprimir", "Márgenes", "pulgadas", "Derecha", "Abajo", "Posición", "Tamaño",
    "Normal", "Ajustar a la página",
    /* 100 */ "Estirar a la página", "Tamaño especificado", "Corrección gamma", "Valor", "Configurar impresión",
    "Margen izquierdo", "Margen superior", "Margen derecho", "Margen inferior", "Ubicación/tamaño",
    /* 110 */ "Arriba izquierda", "Arriba centro", "Arriba derecha", "Centro izquierda", "Centro",
    "Centro derecha", "Abajo izquierda", "Abajo centro", "Abajo derecha", "Cerrar",
    /* 120 */ "Aplicar", "Unidades de medida", "Unidades", "Velocidad", "Todos los gráficos",
    "Video for Windows", "Archivo", "Mem",
    "Actualiza automáticamente la vista previa con los cambios seleccionados", "Imprimir todo",
    /* 130 */ "Imprimir selección", "Archivos gráficos comunes", "Todos los archivos", "HSV", "HSL", "RGB",
    "FFT", "Enfocar", "Canales", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Ajustar"};

constexpr const char* kWordsFrench[] = {
    /*   0 */ "Prévisualisation", "Original", "Résultat", "OK", "Annuler", "Verrouiller l'aperçu",
    "Copier le résultat vers l'original", "Contraste", "Luminosité", "Teinte",
    /*  10 */ "Saturation", "Valeur", "Couleur de base", "Nouvelle couleur", "Luminance", "Rouge", "Vert",
    "Bleu", "Valeurs du filtre", "Préréglages",
    /*  20 */ "Diviseur", "Charger", "Enregistrer", "Égalisation", "Seuil", "Égaliser", "Histogramme", "Gris",
    "Lumière", "Gauche",
    /*  30 */ "Haut", "Largeur", "Hauteur", "Couleur", "Quantité de l'image originale", "Lentille",
    "Réfraction", "Aperçu des paramètres", "Qualité", "Méthode DCT",
    /*  40 */ "Facteur de lissage", "Niveaux de gris", "Huffman optimal", "Taille originale",
    "Taille compressée", "Avancé", "Progressif", "Compression", "Index de l'image", "Photométrie",
    /*  50 */ "Infos du document numérisé", "Nom", "Description", "Nom de la page", "Numéro de page", "de",
    "Position horiz. (pouces)", "Position vert. (pouces)", "Couleurs", "Transparent",
    /*  60 */ "Couleur transparente", "Entrelacé", "Arrière-plan", "Position horiz.", "Position vert.", "Délai",
    "Filtre", "Onde", "Amplitude", "Longueur d'onde",
    /*  70 */ "Phase", "Réfléchissant", "Filtre utilisateur", "Filtres morphologiques", "Taille de la fenêtre",
    "Maximum", "Minimum", "Ouverture", "Fermeture", "Rotation",
    /*  80 */ "Retourner", "Horizontal", "Vertical", "Image dans le domaine fréquentiel",
    "Sélectionnez la zone à nettoyer", "Effacer", "Réinitialiser", "Animer", "Charger un filtre",
    "Enregistrer le filtre",
    /*  90 */ "Placage de relief", "Imprimer", "Marges", "pouces", "Droite", "Bas", "Position", "Taille",
    "Normal", "Ajuster à la page",
    /* 100 */ "Étirer sur la page", "Taille spécifiée", "Correction gamma", "Valeur",
    "Configuration de l'impression", "Marge gauche", "Marge haute", "Marge droite", "Marge basse",
    "Emplacement/taille",
    /* 110 */ "En haut à gauche", "En haut au centre", "En haut à droite", "Au centre à gauche", "Centre",
    "Au centre à droite", "En bas à gauche", "En bas au centre", "En bas à droite", "Fermer",
    /* 120 */ "Appliquer", "Unités de mesure", "Unités", "Cadence", "Tous les graphiques", "Video for Windows",
    "Fichier", "Mém", "Met à jour automatiquement l'aperçu avec les modifications choisies", "Tout imprimer",
    /* 130 */ "Imprimer la sélection", "Fichiers graphiques courants", "Tous les fichiers", "HSV", "HSL", "RGB",
    "FFT", "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsPortuguese[] = {
    /*   0 */ "Visualizar", "Original", "Resultado", "OK", "Cancelar", "Bloquear visualização",
    "Copiar resultado para o original", "Contraste", "Brilho", "Matiz",
    /*  10 */ "Saturação", "Valor", "Cor base", "Nova cor", "Luminosidade", "Vermelho", "Verde", "Azul",
    "Valores do filtro", "Predefinições",
    /*  20 */ "Divisor", "Carregar", "Salvar", "Equalização", "Limiar", "Equalizar", "Histograma", "Cinza", "Luz",
    "Esquerda",
    /*  30 */ "Topo", "Largura", "Altura", "Cor", "Quantidade da imagem original", "Lente", "Refração",
    "Visualização dos parâmetros", "Qualidade", "Método DCT",
    /*  40 */ "Fator de suavização", "Escala de cinza", "Huffman otimizado", "Tamanho original",
    "Tamanho comprimido", "Avançado", "Progressivo", "Compressão", "Índice da imagem", "Fotometria",
    /*  50 */ "Informações do documento digitalizado", "Nome", "Descrição", "Nome da página",
    "Número da página", "de", "Posição horiz. (polegadas)", "Posição vert. (polegadas)", "Cores",
    "Transparente",
    /*  60 */ "Cor transparente", "Entrelaçado", "Fundo", "Posição horiz.", "Posição vert.", "Tempo de espera",
    "Filtro", "Onda", "Amplitude", "Comprimento de onda",
    /*  70 */ "Fase", "Refletivo", "Filtro do usuário", "Filtros morfológicos", "Tamanho da janela", "Máximo",
    "Mínimo", "Abertura", "Fechamento", "Girar",
    /*  80 */ "Inverter", "Horizontal", "Vertical", "Imagem no domínio da frequência",
    "Selecione a região a limpar", "Limpar", "Redefinir", "Animar", "Carregar filtro", "Salvar filtro",
    /*  90 */ "Mapa de relevo", "Imprimir", "Margens", "polegadas", "Direita", "Base", "Posição", "Tamanho",
    "Normal", "Ajustar à página",
    /* 100 */ "Esticar na página", "Tamanho especificado", "Correção de gama", "Valor", "Configurar impressão",
    "Margem esquerda", "Margem superior", "Margem direita", "Margem inferior", "Posição/tamanho",
    /* 110 */ "Superior esquerdo", "Superior central", "Superior direito", "Central esquerdo", "Centro",
    "Central direito", "Inferior esquerdo", "Inferior central", "Inferior direito", "Fechar",
    /* 120 */ "Aplicar", "Unidades de medida", "Unidades", "Taxa", "Todos os gráficos", "Video for Windows",
    "Arquivo", "Mem", "Atualiza automaticamente a visualização com as alterações selecionadas",
    "Imprimir tudo",
    /* 130 */ "Imprimir seleção", "Arquivos gráficos comuns", "Todos os arquivos", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsGreek[] = {
    /*   0 */ "Προεπισκόπηση", "Αρχική", "Αποτέλεσμα", "OK", "Άκυρο", "Κλείδωμα προεπισκόπησης",
    "Αντιγραφή αποτελέσματος στην αρχική", "Αντίθεση", "Φωτεινότητα", "Απόχρωση",
    /*  10 */ "Κορεσμός", "Τιμή", "Βασικό χρώμα", "Νέο χρώμα", "Λαμπρότητα", "Κόκκινο", "Πράσινο", "Μπλε",
    "Τιμές φίλτρου", "Προεπιλογές",
    /*  20 */ "Διαιρέτης", "Φόρτωση", "Αποθήκευση", "Εξισορρόπηση", "Κατώφλι", "Εξισορρόπησε", "Ιστόγραμμα",
    "Γκρι", "Φως", "Αριστερά",
    /*  30 */ "Πάνω", "Πλάτος", "Ύψος", "Χρώμα", "Ποσότητα αρχικής εικόνας", "Φακός", "Διάθλαση",
    "Προεπισκόπηση παραμέτρων", "Ποιότητα", "Μέθοδος DCT",
    /*  40 */ "Συντελεστής εξομάλυνσης", "Κλίμακα του γκρι", "Βέλτιστο Huffman", "Αρχικό μέγεθος",
    "Συμπιεσμένο μέγεθος", "Για προχωρημένους", "Προοδευτική", "Συμπίεση", "Δείκτης εικόνας", "Φωτομετρία",
    /*  50 */ "Πληροφορίες σαρωμένου εγγράφου", "Όνομα", "Περιγραφή", "Όνομα σελίδας", "Αριθμός σελίδας", "από",
    "Οριζ. θέση (ίντσες)", "Κατακ. θέση (ίντσες)", "Χρώματα", "Διαφανές",
    /*  60 */ "Διαφανές χρώμα", "Πεπλεγμένο", "Φόντο", "Οριζ. θέση", "Κατακ. θέση", "Χρόνος καθυστέρησης",
    "Φίλτρο", "Κύμα", "Εύρος", "Μήκος κύματος",
    /*  70 */ "Φάση", "Ανακλαστικό", "Φίλτρο χρήστη", "Μορφολογικά φίλτρα", "Μέγεθος παραθύρου", "Μέγιστο",
    "Ελάχιστο", "Άνοιγμα", "Κλείσιμο", "Περιστροφή",
    /*  80 */ "Αναστροφή", "Οριζόντια", "Κατακόρυφα", "Εικόνα στο πεδίο συχνοτήτων",
    "Επιλέξτε την περιοχή για καθαρισμό", "Απαλοιφή", "Επαναφορά", "Κίνηση", "Φόρτωση φίλτρου",
    "Αποθήκευση φίλτρου",
    /*  90 */ "Χάρτης ανάγλυφου", "Εκτύπωση", "Περιθώρια", "ίντσες", "Δεξιά", "Κάτω", "Θέση", "Μέγεθος",
    "Κανονικό", "Προσαρμογή στη σελίδα",
    /* 100 */ "Επέκταση στη σελίδα", "Καθορισμένο μέγεθος", "Διόρθωση γάμμα", "Τιμή", "Ρύθμιση εκτύπωσης",
    "Αριστερό περιθώριο", "Επάνω περιθώριο", "Δεξί περιθώριο", "Κάτω περιθώριο", "Θέση/μέγεθος",
    /* 110 */ "Πάνω αριστερά", "Πάνω κέντρο", "Πάνω δεξιά", "Κέντρο αριστερά", "Κέντρο", "Κέντρο δεξιά",
    "Κάτω αριστερά", "Κάτω κέντρο", "Κάτω δεξιά", "Κλείσιμο",
    /* 120 */ "Εφαρμογή", "Μονάδες μέτρησης", "Μονάδες", "Ρυθμός", "Όλα τα γραφικά", "Video for Windows",
    "Αρχείο", "Μνήμη", "Ενημερώνει αυτόματα την προεπισκόπηση με τις αλλαγές που επιλέξατε",
    "Εκτύπωση όλων",
    /* 130 */ "Εκτύπωση επιλεγμένων", "Κοινά αρχεία γραφικών", "Όλα τα αρχεία", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsRussian[] = {
    /*   0 */ "Просмотр", "Оригинал", "Результат", "OK", "Отмена", "Блокировать просмотр",
    "Копировать результат в оригинал", "Контраст", "Яркость", "Оттенок",
    /*  10 */ "Насыщенность", "Значение", "Исходный цвет", "Новый цвет", "Светимость", "Красный", "Зелёный",
    "Синий", "Значения фильтра", "Предустановки",
    /*  20 */ "Делитель", "Загрузить", "Сохранить", "Выравнивание", "Порог", "Выровнять", "Гистограмма",
    "Серый", "Свет", "Слева",
    /*  30 */ "Сверху", "Ширина", "Высота", "Цвет", "Доля исходного изображения", "Линза", "Преломление",
    "Просмотр параметров", "Качество", "Метод DCT",
    /*  40 */ "Коэффициент сглаживания", "Оттенки серого", "Оптимальный Хаффман", "Исходный размер",
    "Размер после сжатия", "Дополнительно", "Прогрессивный", "Сжатие", "Номер изображения", "Фотометрия",
    /*  50 */ "Сведения о сканированном документе", "Имя", "Описание", "Имя страницы", "Номер страницы", "из",
    "Гориз. позиция (дюймы)", "Верт. позиция (дюймы)", "Цвета", "Прозрачный",
    /*  60 */ "Прозрачный цвет", "Чересстрочный", "Фон", "Гориз. позиция", "Верт. позиция", "Задержка",
    "Фильтр", "Волна", "Амплитуда", "Длина волны",
    /*  70 */ "Фаза", "Отражение", "Пользовательский фильтр", "Морфологические фильтры", "Размер окна",
    "Максимум", "Минимум", "Размыкание", "Замыкание", "Повернуть",
    /*  80 */ "Отразить", "По горизонтали", "По вертикали", "Изображение в частотной области",
    "Выделите область для очистки", "Очистить", "Сбросить", "Анимировать", "Загрузить фильтр",
    "Сохранить фильтр",
    /*  90 */ "Карта рельефа", "Печать", "Поля", "дюймы", "Справа", "Снизу", "Позиция", "Размер", "Обычный",
    "По размеру страницы",
    /* 100 */ "Растянуть на страницу", "Заданный размер", "Гамма-коррекция", "Значение", "Настройка печати",
    "Левое поле", "Верхнее поле", "Правое поле", "Нижнее поле", "Положение/размер",
    /* 110 */ "Сверху слева", "Сверху по центру", "Сверху справа", "По центру слева", "По центру",
    "По центру справа", "Снизу слева", "Снизу по центру", "Снизу справа", "Закрыть",
    /* 120 */ "Применить", "Единицы измерения", "Единицы", "Частота", "Все изображения", "Video for Windows",
    "Файл", "Память", "Автоматически обновляет просмотр с выбранными изменениями", "Печатать все",
    /* 130 */ "Печатать выбранное", "Распространённые графические файлы", "Все файлы", "HSV", "HSL", "RGB",
    "FFT", "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsDutch[] = {
    /*   0 */ "Voorbeeld", "Origineel", "Resultaat", "OK", "Annuleren", "Voorbeeld vergrendelen",
    "Resultaat naar origineel kopiëren", "Contrast", "Helderheid", "Tint",
    /*  10 */ "Verzadiging", "Waarde", "Basiskleur", "Nieuwe kleur", "Lichtsterkte", "Rood", "Groen", "Blauw",
    "Filterwaarden", "Voorinstellingen",
    /*  20 */ "Deler", "Laden", "Opslaan", "Egalisatie", "Drempel", "Egaliseren", "Histogram", "Grijs", "Licht",
    "Links",
    /*  30 */ "Boven", "Breedte", "Hoogte", "Kleur", "Hoeveelheid origineel beeld", "Lens", "Breking",
    "Parametervoorbeeld", "Kwaliteit", "DCT-methode",
    /*  40 */ "Verzachtingsfactor", "Grijswaarden", "Optimale Huffman", "Oorspronkelijke grootte",
    "Gecomprimeerde grootte", "Geavanceerd", "Progressief", "Compressie", "Afbeeldingsindex", "Fotometrie",
    /*  50 */ "Info gescand document", "Naam", "Beschrijving", "Paginanaam", "Paginanummer", "van",
    "Horiz. positie (inch)", "Vert. positie (inch)", "Kleuren", "Transparant",
    /*  60 */ "Transparante kleur", "Interlaced", "Achtergrond", "Horiz. positie", "Vert. positie", "Vertraging",
    "Filter", "Golf", "Amplitude", "Golflengte",
    /*  70 */ "Fase", "Spiegelend", "Gebruikersfilter", "Morfologische filters", "Venstergrootte", "Maximum",
    "Minimum", "Openen", "Sluiten", "Draaien",
    /*  80 */ "Spiegelen", "Horizontaal", "Verticaal", "Beeld in het frequentiedomein",
    "Selecteer het gebied om op te schonen", "Wissen", "Herstellen", "Animeren", "Filter laden",
    "Filter opslaan",
    /*  90 */ "Reliëfkaart", "Afdrukken", "Marges", "inch", "Rechts", "Onder", "Positie", "Grootte", "Normaal",
    "Aan pagina aanpassen",
    /* 100 */ "Uitrekken tot pagina", "Opgegeven grootte", "Gammacorrectie", "Waarde", "Afdrukinstellingen",
    "Linkermarge", "Bovenmarge", "Rechtermarge", "Ondermarge", "Locatie/grootte",
    /* 110 */ "Linksboven", "Midden boven", "Rechtsboven", "Midden links", "Midden", "Midden rechts",
    "Linksonder", "Midden onder", "Rechtsonder", "Sluiten",
    /* 120 */ "Toepassen", "Maateenheden", "Eenheden", "Snelheid", "Alle afbeeldingen", "Video for Windows",
    "Bestand", "Geh.", "Werkt het voorbeeld automatisch bij met de gekozen wijzigingen", "Alles afdrukken",
    /* 130 */ "Selectie afdrukken", "Gangbare afbeeldingsbestanden", "Alle bestanden", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsSwedish[] = {
    /*   0 */ "Granska", "Original", "Resultat", "OK", "Avbryt", "Lås förhandsgranskning",
    "Kopiera resultat till original", "Kontrast", "Ljusstyrka", "Nyans",
    /*  10 */ "Mättnad", "Värde", "Grundfärg", "Ny färg", "Luminans", "Röd", "Grön", "Blå", "Filtervärden",
    "Förinställningar",
    /*  20 */ "Divisor", "Läs in", "Spara", "Utjämning", "Tröskel", "Utjämna", "Histogram", "Grå", "Ljus",
    "Vänster",
    /*  30 */ "Överkant", "Bredd", "Höjd", "Färg", "Andel av originalbilden", "Lins", "Brytning",
    "Förhandsgranska parametrar", "Kvalite", "DCT-metod",
    /*  40 */ "Utjämningsfaktor", "Gråskala", "Optimal Huffman", "Originalstorlek", "Komprimerad storlek",
    "Avancerat", "Progressiv", "Komprimering", "Bildindex", "Fotometri",
    /*  50 */ "Info om skannat dokument", "Namn", "Beskrivning", "Sidnamn", "Sidnummer", "av",
    "Horis. position (tum)", "Vert. position (tum)", "Färger", "Genomskinlig",
    /*  60 */ "Genomskinlig färg", "Sammanflätad", "Bakgrund", "Horis. position", "Vert. position",
    "Fördröjning", "Filter", "Våg", "Amplitud", "Våglängd",
    /*  70 */ "Fas", "Reflekterande", "Användarfilter", "Morfologiska filter", "Fönsterstorlek", "Maximum",
    "Minimum", "Öppning", "Stängning", "Rotera",
    /*  80 */ "Vänd", "Horisontell", "Vertikal", "Bild i frekvensdomänen", "Markera området som ska rensas",
    "Rensa", "Återställ", "Animera", "Läs in filter", "Spara filter",
    /*  90 */ "Reliefkarta", "Skriv ut", "Marginaler", "tum", "Höger", "Nederkant", "Position", "Storlek",
    "Normal", "Anpassa till sidan",
    /* 100 */ "Sträck ut till sidan", "Angiven storlek", "Gammakorrigering", "Värde", "Utskriftsformat",
    "Vänstermarginal", "Övre marginal", "Högermarginal", "Nedre marginal", "Placering/storlek",
    /* 110 */ "Övre vänster", "Övre mitten", "Övre höger", "Mitten vänster", "Mitten", "Mitten höger",
    "Nedre vänster", "Nedre mitten", "Nedre höger", "Stäng",
    /* 120 */ "Verkställ", "Måttenheter", "Enheter", "Hastighet", "All grafik", "Video for Windows", "Fil",
    "Minne", "Uppdaterar förhandsgranskningen automatiskt med de ändringar du valt", "Skriv ut alla",
    /* 130 */ "Skriv ut markerade", "Vanliga grafikfiler", "Alla filer", "HSV", "HSL", "RGB", "FFT", "Sharpen",
    "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsPolish[] = {
    /*   0 */ "Podgląd", "Oryginał", "Wynik", "OK", "Anuluj", "Zablokuj podgląd", "Kopiuj wynik do oryginału",
    "Kontrast", "Jasność", "Odcień",
    /*  10 */ "Nasycenie", "Wartość", "Kolor bazowy", "Nowy kolor", "Luminancja", "Czerwony", "Zielony",
    "Niebieski", "Wartości filtra", "Ustawienia wstępne",
    /*  20 */ "Dzielnik", "Wczytaj", "Zapisz", "Wyrównanie", "Próg", "Wyrównaj", "Histogram", "Szary",
    "Światło", "Od lewej",
    /*  30 */ "Od góry", "Szerokość", "Wysokość", "Kolor", "Udział oryginalnego obrazu", "Soczewka",
    "Załamanie", "Podgląd parametrów", "Jakość", "Metoda DCT",
    /*  40 */ "Współczynnik wygładzania", "Skala szarości", "Optymalny Huffman", "Rozmiar oryginalny",
    "Rozmiar po kompresji", "Zaawansowane", "Progresywny", "Kompresja", "Indeks obrazu", "Fotometria",
    /*  50 */ "Informacje o zeskanowanym dokumencie", "Nazwa", "Opis", "Nazwa strony", "Numer strony", "z",
    "Poz. pozioma (cale)", "Poz. pionowa (cale)", "Kolory", "Przezroczysty",
    /*  60 */ "Kolor przezroczysty", "Z przeplotem", "Tło", "Poz. pozioma", "Poz. pionowa", "Opóźnienie",
    "Filtr", "Fala", "Amplituda", "Długość fali",
    /*  70 */ "Faza", "Odbijający", "Filtr użytkownika", "Filtry morfologiczne", "Rozmiar okna", "Maksimum",
    "Minimum", "Otwarcie", "Zamknięcie", "Obróć",
    /*  80 */ "Odwróć", "Poziomo", "Pionowo", "Obraz w dziedzinie częstotliwości",
    "Zaznacz obszar do oczyszczenia", "Wyczyść", "Resetuj", "Animuj", "Wczytaj filtr", "Zapisz filtr",
    /*  90 */ "Mapa wypukłości", "Drukuj", "Marginesy", "cale", "Od prawej", "Od dołu", "Pozycja", "Rozmiar",
    "Normalny", "Dopasuj do strony",
    /* 100 */ "Rozciągnij na stronę", "Określony rozmiar", "Korekcja gamma", "Wartość", "Ustawienia wydruku",
    "Lewy margines", "Górny margines", "Prawy margines", "Dolny margines", "Położenie/rozmiar",
    /* 110 */ "Lewy górny", "Środek u góry", "Prawy górny", "Środek z lewej", "Środek", "Środek z prawej",
    "Lewy dolny", "Środek u dołu", "Prawy dolny", "Zamknij",
    /* 120 */ "Zastosuj", "Jednostki miary", "Jednostki", nullptr, "Wszystkie grafiki", "Video for Windows",
    "Plik", "Pam.", "Automatycznie aktualizuje podgląd o wybrane zmiany", "Drukuj wszystko",
    /* 130 */ "Drukuj zaznaczone", "Popularne pliki graficzne", "Wszystkie pliki", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsJapanese[] = {
    /*   0 */ "プレビュー", "オリジナル", "結果", "OK", "キャンセル", "プレビューを固定", "結果をオリジナルにコピー",
    "コントラスト", "明るさ", "色相",
    /*  10 */ "彩度", "値", "基本色", "新しい色", "輝度", "赤", "緑", "青", "フィルタ値", "プリセット",
    /*  20 */ "除数", "読み込み", "保存", "均等化", "しきい値", "均等化する", "ヒストグラム", "グレー", "光", "左",
    /*  30 */ "上", "幅", "高さ", "色", "元画像の量", "レンズ", "屈折", "パラメータのプレビュー", "品質", "DCT方式",
    /*  40 */ "スムージング係数", "グレースケール", "最適ハフマン", "元のサイズ", "圧縮後のサイズ", "詳細設定",
    "プログレッシブ", "圧縮", "画像インデックス", "フォトメトリック",
    /*  50 */ "スキャン文書の情報", "名前", "説明", "ページ名", "ページ番号", "/", "水平位置 (インチ)",
    "垂直位置 (インチ)", "色数", "透明",
    /*  60 */ "透明色", "インターレース", "背景", "水平位置", "垂直位置", "遅延時間", "フィルタ", "波", "振幅", "波長",
    /*  70 */ "位相", "反射", "ユーザーフィルタ", "モルフォロジーフィルタ", "ウィンドウサイズ", "最大", "最小",
    "オープニング", "クロージング", "回転",
    /*  80 */ "反転", "水平", "垂直", "周波数領域の画像", "消去する領域を選択してください", "クリア", "リセット",
    "アニメーション", "フィルタの読み込み", "フィルタの保存",
    /*  90 */ "バンプマップ", "印刷", "余白", "インチ", "右", "下", "位置", "サイズ", "標準", "ページに合わせる",
    /* 100 */ "ページに拡大", "指定サイズ", "ガンマ補正", "値", "印刷設定", "左余白", "上余白", "右余白", "下余白",
    "位置/サイズ",
    /* 110 */ "左上", "中央上", "右上", "左中央", "中央", "右中央", "左下", "中央下", "右下", "閉じる",
    /* 120 */ "適用", "測定単位", "単位", "レート", "すべてのグラフィック", "Video for Windows", "ファイル", "メモリ",
    "選択した変更でプレビューを自動的に更新します", "すべて印刷",
    /* 130 */ "選択部分を印刷", "一般的なグラフィックファイル", "すべてのファイル", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsCzech[] = {
    /*   0 */ "Náhled", "Originál", "Výsledek", "OK", "Storno", "Zamknout náhled",
    "Kopírovat výsledek do originálu", "Kontrast", "Jas", "Odstín",
    /*  10 */ "Sytost", "Hodnota", "Základní barva", "Nová barva", "Světelnost", "Červená", "Zelená", "Modrá",
    "Hodnoty filtru", "Předvolby",
    /*  20 */ "Dělitel", "Načíst", "Uložit", "Vyrovnání", "Práh", "Vyrovnat", "Histogram", "Šedá", "Světlo",
    "Vlevo",
    /*  30 */ "Nahoře", "Šířka", "Výška", "Barva", "Podíl původního obrázku", "Čočka", "Lom",
    "Náhled parametrů", "Kvalita", "Metoda DCT",
    /*  40 */ "Faktor vyhlazení", "Stupně šedi", "Optimální Huffman", "Původní velikost",
    "Komprimovaná velikost", "Upřesnit", "Progresivní", "Komprese", "Index obrázku", "Fotometrie",
    /*  50 */ "Informace o naskenovaném dokumentu", "Název", "Popis", "Název stránky", "Číslo stránky", "z",
    "Vodor. pozice (palce)", "Svislá pozice (palce)", "Barvy", "Průhledný",
    /*  60 */ "Průhledná barva", "Prokládaný", "Pozadí", "Vodor. pozice", "Svislá pozice", "Zpoždění", "Filtr",
    "Vlna", "Amplituda", "Vlnová délka",
    /*  70 */ "Fáze", "Odrazný", "Uživatelský filtr", "Morfologické filtry", "Velikost okna", "Maximum",
    "Minimum", "Otevření", "Uzavření", "Otočit",
    /*  80 */ "Převrátit", "Vodorovně", "Svisle", "Obraz ve frekvenční oblasti", "Vyberte oblast k vyčištění",
    "Vymazat", "Obnovit", "Animovat", "Načíst filtr", "Uložit filtr",
    /*  90 */ "Reliéfní mapa", "Tisk", "Okraje", "palce", "Vpravo", "Dole", "Pozice", "Velikost", "Normální",
    "Přizpůsobit stránce",
    /* 100 */ "Roztáhnout na stránku", "Zadaná velikost", "Korekce gama", "Hodnota", "Nastavení tisku",
    "Levý okraj", "Horní okraj", "Pravý okraj", "Dolní okraj", "Umístění/velikost",
    /* 110 */ "Vlevo nahoře", "Uprostřed nahoře", "Vpravo nahoře", "Vlevo uprostřed", "Uprostřed",
    "Vpravo uprostřed", "Vlevo dole", "Uprostřed dole", "Vpravo dole", "Zavřít",
    /* 120 */ "Použít", "Měrné jednotky", "Jednotky", "Rychlost", "Všechny obrázky", "Video for Windows",
    "Soubor", "Paměť", "Automaticky aktualizuje náhled podle zvolených změn", "Tisknout vše",
    /* 130 */ "Tisknout vybrané", "Běžné grafické soubory", "Všechny soubory", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsFinnish[] = {
    /*   0 */ "Esikatselu", "Alkuperäinen", "Tulos", "OK", "Peruuta", "Lukitse esikatselu",
    "Kopioi tulos alkuperäiseen", "Kontrasti", "Kirkkaus", "Sävy",
    /*  10 */ "Kylläisyys", "Arvo", "Perusväri", "Uusi väri", "Valoisuus", "Punainen", "Vihreä", "Sininen",
    "Suodattimen arvot", "Esiasetukset",
    /*  20 */ "Jakaja", "Lataa", "Tallenna", "Tasoitus", "Kynnys", "Tasoita", "Histogrammi", "Harmaa", "Valo",
    "Vasen",
    /*  30 */ "Ylä", "Leveys", "Korkeus", "Väri", "Alkuperäisen kuvan osuus", "Linssi", "Taittuminen",
    "Parametrien esikatselu", "Laatu", "DCT-menetelmä",
    /*  40 */ "Pehmennyskerroin", "Harmaasävy", "Optimaalinen Huffman", "Alkuperäinen koko", "Pakattu koko",
    "Lisäasetukset", "Progressiivinen", "Pakkaus", "Kuvan indeksi", "Fotometria",
    /*  50 */ "Skannatun asiakirjan tiedot", "Nimi", "Kuvaus", "Sivun nimi", "Sivunumero", "/",
    "Vaakasijainti (tuumaa)", "Pystysijainti (tuumaa)", "Värit", "Läpinäkyvä",
    /*  60 */ "Läpinäkyvä väri", "Lomitettu", "Tausta", "Vaakasijainti", "Pystysijainti", "Viive", "Suodatin",
    "Aalto", "Amplitudi", "Aallonpituus",
    /*  70 */ "Vaihe", "Heijastava", "Käyttäjän suodatin", "Morfologiset suodattimet", "Ikkunan koko", "Maksimi",
    "Minimi", "Avaus", "Sulkeminen", "Kierrä",
    /*  80 */ "Käännä", "Vaakasuora", "Pystysuora", "Taajuustason kuva", "Valitse puhdistettava alue",
    "Tyhjennä", "Palauta", "Animoi", "Lataa suodatin", "Tallenna suodatin",
    /*  90 */ "Kohokuvio", "Tulosta", "Reunukset", "tuumaa", "Oikea", "Ala", "Sijainti", "Koko", "Normaali",
    "Sovita sivulle",
    /* 100 */ "Venytä sivulle", "Määritetty koko", "Gammakorjaus", "Arvo", "Tulostusasetukset",
    "Vasen reunus", "Yläreunus", "Oikea reunus", "Alareunus", "Sijainti/koko",
    /* 110 */ "Ylävasen", "Yläkeskellä", "Yläoikea", "Keskellä vasen", "Keskellä", "Keskellä oikea",
    "Alavasen", "Alakeskellä", "Alaoikea", "Sulje",
    /* 120 */ "Käytä", "Mittayksiköt", "Yksiköt", "Nopeus", "Kaikki kuvat", "Video for Windows", "Tiedosto",
    "Muisti", "Päivittää esikatselun automaattisesti valitsemillasi muutoksilla", "Tulosta kaikki",
    /* 130 */ "Tulosta valitut", "Yleiset kuvatiedostot", "Kaikki tiedostot", "HSV", "HSL", "RGB", "FFT",
    "Terävöitä", "Kanavat", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Sovita"};

// Written with the Arabic forms of yeh and kaf, as the language's code page holds them.
constexpr const char* kWordsFarsi[] = {
    /*   0 */ "پيش نمايش", "اصلي", "نتيجه", "تاييد", "انصراف", "قفل پيش نمايش", "كپي نتيجه به اصلي",
    "كنتراست", "روشنايي", "فام",
    /*  10 */ "اشباع", "مقدار", "رنگ پايه", "رنگ جديد", "درخشندگي", "قرمز", "سبز", "آبي", "مقادير فيلتر",
    "پيش تنظيم ها",
    /*  20 */ "مقسوم عليه", "بارگذاري", "ذخيره", "يكسان سازي", "آستانه", "يكسان كن", "هيستوگرام", "خاكستري",
    "نور", "چپ",
    /*  30 */ "بالا", "عرض", "ارتفاع", "رنگ", "مقدار تصوير اصلي", "عدسي", "شكست نور", "پيش نمايش پارامترها",
    "كيفيت", "روش DCT",
    /*  40 */ "ضريب هموارسازي", "مقياس خاكستري", "هافمن بهينه", "اندازه اصلي", "اندازه فشرده", "پيشرفته",
    "تدريجي", "فشرده سازي", "شماره تصوير", "نورسنجي",
    /*  50 */ "اطلاعات سند اسكن شده", "نام", "توضيحات", "نام صفحه", "شماره صفحه", "از", "موقعيت افقي (اينچ)",
    "موقعيت عمودي (اينچ)", "رنگ ها", "شفاف",
    /*  60 */ "رنگ شفاف", "درهم", "پس زمينه", "موقعيت افقي", "موقعيت عمودي", "زمان تاخير", "فيلتر", "موج",
    "دامنه", "طول موج",
    /*  70 */ "فاز", "بازتابي", "فيلتر كاربر", "فيلترهاي ريخت شناسي", "اندازه پنجره", "بيشينه", "كمينه",
    "گشايش", "بست", "چرخش",
    /*  80 */ "وارونه", "افقي", "عمودي", "تصوير در حوزه فركانس", "ناحيه پاكسازي را انتخاب كنيد", "پاك كردن",
    "بازنشاني", "متحرك سازي", "بارگذاري فيلتر", "ذخيره فيلتر",
    /*  90 */ "نقشه برجستگي", "چاپ", "حاشيه ها", "اينچ", "راست", "پايين", "موقعيت", "اندازه", "عادي",
    "متناسب با صفحه",
    /* 100 */ "كشيدن تا صفحه", "اندازه مشخص", "تصحيح گاما", "مقدار", "تنظيمات چاپ", "حاشيه چپ", "حاشيه بالا",
    "حاشيه راست", "حاشيه پايين", "مكان/اندازه",
    /* 110 */ "بالا چپ", "بالا وسط", "بالا راست", "وسط چپ", "وسط", "وسط راست", "پايين چپ", "پايين وسط",
    "پايين راست", "بستن",
    /* 120 */ "اعمال", "واحدهاي اندازه گيري", "واحدها", "نرخ", "همه گرافيك ها", "Video for Windows", "فايل",
    "حافظه", "پيش نمايش را با تغييرات انتخاب شده به طور خودكار به روز مي كند", "چاپ همه",
    /* 130 */ "چاپ انتخاب شده ها", "فايل هاي گرافيكي رايج", "همه فايل ها", "HSV", "HSL", "RGB", "FFT",
    "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsChinese[] = {
    /*   0 */ "预览", "原始", "结果", "确定", "取消", "锁定预览", "将结果复制到原始", "对比度", "亮度", "色调",
    /*  10 */ "饱和度", "值", "基色", "新颜色", "明度", "红", "绿", "蓝", "滤镜值", "预设",
    /*  20 */ "除数", "载入", "保存", "均衡化", "阈值", "均衡", "直方图", "灰色", "光线", "左",
    /*  30 */ "上", "宽度", "高度", "颜色", "原始图像比例", "透镜", "折射", "参数预览", "质量", "DCT 方法",
    /*  40 */ "平滑因子", "灰度", "最优 Huffman", "原始大小", "压缩后大小", "高级", "渐进式", "压缩", "图像索引",
    "光度",
    /*  50 */ "扫描文档信息", "名称", "描述", "页面名称", "页码", "/", "水平位置 (英寸)", "垂直位置 (英寸)", "颜色数",
    "透明",
    /*  60 */ "透明色", "隔行扫描", "背景", "水平位置", "垂直位置", "延迟时间", "滤镜", "波浪", "振幅", "波长",
    /*  70 */ "相位", "反射", "用户滤镜", "形态学滤镜", "窗口大小", "最大值", "最小值", "开运算", "闭运算", "旋转",
    /*  80 */ "翻转", "水平", "垂直", "频域图像", "选择要清除的区域", "清除", "重置", "动画", "载入滤镜", "保存滤镜",
    /*  90 */ "凹凸贴图", "打印", "页边距", "英寸", "右", "下", "位置", "大小", "正常", "适合页面",
    /* 100 */ "拉伸到页面", "指定大小", "伽马校正", "值", "打印设置", "左边距", "上边距", "右边距", "下边距",
    "位置/大小",
    /* 110 */ "左上", "中上", "右上", "左中", "居中", "右中", "左下", "中下", "右下", "关闭",
    /* 120 */ "应用", "度量单位", "单位", "速率", "所有图形", "Video for Windows", "文件", "内存",
    "根据所选更改自动更新预览", "全部打印",
    /* 130 */ "打印所选", "常用图形文件", "所有文件", "HSV", "HSL", "RGB", "FFT", "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsChineseTraditional[] = {
    /*   0 */ "預覽", "原始", "結果", "確定", "取消", "鎖定預覽", "將結果複製到原始", "對比", "亮度", "色調",
    /*  10 */ "飽和度", "值", "基色", "新色彩", "明度", "紅", "綠", "藍", "濾鏡值", "預設",
    /*  20 */ "除數", "載入", "儲存", "等化", "臨界值", "等化處理", "色階分佈圖", "灰色", "光線", "左",
    /*  30 */ "上", "寬度", "高度", "色彩", "原始影像比例", "透鏡", "折射", "參數預覽", "質量", "DCT 方法",
    /*  40 */ "平滑係數", "灰階", "最佳 Huffman", "原始大小", "壓縮後大小", "進階", "漸進式", "壓縮", "影像索引",
    "光度",
    /*  50 */ "掃描文件資訊", "名稱", "描述", "頁面名稱", "頁碼", "/", "水平位置 (英吋)", "垂直位置 (英吋)", "色彩數",
    "透明",
    /*  60 */ "透明色", "交錯", "背景", "水平位置", "垂直位置", "延遲時間", "濾鏡", "波浪", "振幅", "波長",
    /*  70 */ "相位", "反射", "使用者濾鏡", "形態學濾鏡", "視窗大小", "最大值", "最小值", "斷開", "閉合", "旋轉",
    /*  80 */ "翻轉", "水平", "垂直", "頻域影像", "選取要清除的區域", "清除", "重設", "動畫", "載入濾鏡", "儲存濾鏡",
    /*  90 */ "凹凸貼圖", "列印", "邊界", "英吋", "右", "下", "位置", "大小", "一般", "符合頁面",
    /* 100 */ "延展至頁面", "指定大小", "Gamma 校正", "值", "列印設定", "左邊界", "上邊界", "右邊界", "下邊界",
    "位置/大小",
    /* 110 */ "左上", "中上", "右上", "左中", "置中", "右中", "左下", "中下", "右下", "關閉",
    /* 120 */ "套用", "度量單位", "單位", "速率", "所有圖形", "Video for Windows", "檔案", "記憶體",
    "依所選變更自動更新預覽", "全部列印",
    /* 130 */ "列印選取項目", "常用圖形檔案", "所有檔案", "HSV", "HSL", "RGB", "FFT", "Sharpen", "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsDanish[] = {
    /*   0 */ "Visning", "Original", "Resultat", "OK", "Annuller", "Lås visning", "Kopier resultat til original",
    "Kontrast", "Lysstyrke", "Farvetone",
    /*  10 */ "Mætning", "Værdi", "Grundfarve", "Ny farve", "Luminans", "Rød", "Grøn", "Blå", "Filterværdier",
    "Forudindstillinger",
    /*  20 */ "Divisor", "Indlæs", "Gem", "Udligning", "Tærskel", "Udlign", "Histogram", "Grå", "Lys", "Venstre",
    /*  30 */ "Top", "Bredde", "Højde", "Farve", "Andel af originalbillede", "Linse", "Lysbrydning",
    "Visning af parametre", "Kvalitet", "DCT-metode",
    /*  40 */ "Udjævningsfaktor", "Gråtoner", "Optimal Huffman", "Original størrelse", "Komprimeret størrelse",
    "Avanceret", "Progressiv", "Komprimering", "Billedindeks", "Fotometri",
    /*  50 */ "Info om scannet dokument", "Navn", "Beskrivelse", "Sidenavn", "Sidenummer", "af",
    "Vandr. position (tommer)", "Lodr. position (tommer)", "Farver", "Gennemsigtig",
    /*  60 */ "Gennemsigtig farve", "Interlaced", "Baggrund", "Vandr. position", "Lodr. position", "Forsinkelse",
    "Filter", "Bølge", "Amplitude", "Bølgelængde",
    /*  70 */ "Fase", "Reflekterende", "Brugerfilter", "Morfologiske filtre", "Vinduesstørrelse", "Maksimum",
    "Minimum", "Åbning", "Lukning", "Roter",
    /*  80 */ "Vend", "Vandret", "Lodret", "Billede i frekvensdomænet", "Vælg området der skal renses", "Ryd",
    "Nulstil", "Animer", "Indlæs filter", "Gem filter",
    /*  90 */ "Reliefkort", "Udskriv", "Margener", "tommer", "Højre", "Bund", "Position", "Størrelse", "Normal",
    "Tilpas til side",
    /* 100 */ "Stræk til side", "Angivet størrelse", "Gammakorrektion", "Værdi", "Udskriftsopsætning",
    "Venstre margen", "Topmargen", "Højre margen", "Bundmargen", "Placering/størrelse",
    /* 110 */ "Øverst til venstre", "Øverst i midten", "Øverst til højre", "Midt til venstre", "Midte",
    "Midt til højre", "Nederst til venstre", "Nederst i midten", "Nederst til højre", "Luk",
    /* 120 */ "Anvend", "Måleenheder", "Enheder", "Hastighed", "Al grafik", "Video for Windows", "Fil",
    "Hukommelse", "Opdaterer automatisk visningen med de ændringer, du har valgt", "Udskriv alle",
    /* 130 */ "Udskriv valgte", "Almindelige grafikfiler", "Alle filer", "HSV", "HSL", "RGB", "FFT", "Sharpen",
    "Channels", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsTurkish[] = {
    /*   0 */ "Önizleme", "Orijinal", "Sonuç", "Tamam", "İptal", "Önizlemeyi kilitle", "Sonucu orijinale kopyala",
    "Kontrast", "Parlaklık", "Renk tonu",
    /*  10 */ "Doygunluk", "Değer", "Temel renk", "Yeni renk", "Işıklılık", "Kırmızı", "Yeşil", "Mavi",
    "Filtre değerleri", "Hazır ayarlar",
    /*  20 */ "Bölen", "Yükle", "Kaydet", "Eşitleme", "Eşik", "Eşitle", "Histogram", "Gri", "Işık", "Sol",
    /*  30 */ "Üst", "Genişlik", "Yükseklik", "Renk", "Orijinal görüntü miktarı", "Mercek", "Kırılma",
    "Parametre önizlemesi", "Kalite", "DCT yöntemi",
    /*  40 */ "Yumuşatma katsayısı", "Gri tonlama", "En iyi Huffman", "Orijinal boyut", "Sıkıştırılmış boyut",
    "Gelişmiş", "Aşamalı", "Sıkıştırma", "Görüntü dizini", "Fotometrik",
    /*  50 */ "Taranan belge bilgisi", "Ad", "Açıklama", "Sayfa adı", "Sayfa numarası", "/", "Yatay konum (inç)",
    "Dikey konum (inç)", "Renkler", "Saydam",
    /*  60 */ "Saydam renk", "Geçmeli", "Arka plan", "Yatay konum", "Dikey konum", "Gecikme süresi", "Filtre",
    "Dalga", "Genlik", "Dalga boyu",
    /*  70 */ "Faz", "Yansıtıcı", "Kullanıcı filtresi", "Morfolojik filtreler", "Pencere boyutu", "En büyük",
    "En küçük", "Açma", "Kapama", "Döndür",
    /*  80 */ "Çevir", "Yatay", "Dikey", "Frekans alanı görüntüsü", "Temizlenecek bölgeyi seçin", "Temizle",
    "Sıfırla", "Canlandır", "Filtre yükle", "Filtre kaydet",
    /*  90 */ "Kabartma haritası", "Yazdır", "Kenar boşlukları", "inç", "Sağ", "Alt", "Konum", "Boyut", "Normal",
    "Sayfaya sığdır",
    /* 100 */ "Sayfaya uzat", "Belirtilen boyut", "Gama düzeltmesi", "Değer", "Yazdırma ayarları",
    "Sol kenar boşluğu", "Üst kenar boşluğu", "Sağ kenar boşluğu", "Alt kenar boşluğu", "Konum/boyut",
    /* 110 */ "Sol üst", "Üst orta", "Sağ üst", "Sol orta", "Orta", "Sağ orta", "Sol alt", "Alt orta", "Sağ alt",
    "Kapat",
    /* 120 */ "Uygula", "Ölçü birimleri", "Birimler", "Hız", "Tüm grafikler", "Video for Windows", "Dosya",
    "Bellek", "Seçtiğiniz değişikliklerle önizlemeyi otomatik olarak günceller", "Tümünü yazdır",
    /* 130 */ "Seçileni yazdır", "Yaygın grafik dosyaları", "Tüm dosyalar", "HSV", "HSL", "RGB", "FFT",
    "Keskinleştir", "Kanallar", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Sigdir"};

constexpr const char* kWordsKorean[] = {
    /*   0 */ "미리보기", "원본", "결과", "확인", "취소", "미리보기 고정", "결과를 원본에 복사", "대비", "밝기", "색조",
    /*  10 */ "채도", "값", "기본 색", "새 색", "광도", "빨강", "녹색", "파랑", "필터 값", "사전 설정",
    /*  20 */ "제수", "불러오기", "저장", "평활화", "임계값", "평활화 적용", "히스토그램", "회색", "빛", "왼쪽",
    /*  30 */ "위쪽", "너비", "높이", "색", "원본 이미지 비율", "렌즈", "굴절", "매개변수 미리보기", "품질",
    "DCT 방식",
    /*  40 */ "스무딩 계수", "회색조", "최적 허프만", "원본 크기", "압축 크기", "고급", "프로그레시브", "압축",
    "이미지 인덱스", "측광",
    /*  50 */ "스캔한 문서 정보", "이름", "설명", "페이지 이름", "페이지 번호", "/", "가로 위치 (인치)",
    "세로 위치 (인치)", "색상 수", "투명",
    /*  60 */ "투명 색", "인터레이스", "배경", "가로 위치", "세로 위치", "지연 시간", "필터", "물결", "진폭", "파장",
    /*  70 */ "위상", "반사", "사용자 필터", "형태학 필터", "창 크기", "최대값", "최소값", "열림", "닫힘", "회전",
    /*  80 */ "뒤집기", "가로", "세로", "주파수 영역 이미지", "지울 영역을 선택하십시오", "지우기", "재설정",
    "애니메이션", "필터 불러오기", "필터 저장",
    /*  90 */ "범프 맵", "인쇄", "여백", "인치", "오른쪽", "아래쪽", "위치", "크기", "보통", "페이지에 맞춤",
    /* 100 */ "페이지에 늘이기", "지정한 크기", "감마 보정", "값", "인쇄 설정", "왼쪽 여백", "위쪽 여백",
    "오른쪽 여백", "아래쪽 여백", "위치/크기",
    /* 110 */ "왼쪽 위", "가운데 위", "오른쪽 위", "왼쪽 가운데", "가운데", "오른쪽 가운데", "왼쪽 아래",
    "가운데 아래", "오른쪽 아래", "닫기",
    /* 120 */ "적용", "측정 단위", "단위", "속도", "모든 그래픽", "Video for Windows", "파일", "메모리",
    "선택한 변경 내용으로 미리보기를 자동으로 업데이트합니다", "모두 인쇄",
    /* 130 */ "선택 항목 인쇄", "일반 그래픽 파일", "모든 파일", "HSV", "HSL", "RGB", "FFT", "Sharpen", "Channels",
    "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Fit"};

constexpr const char* kWordsHungarian[] = {
    /*   0 */ "Előnézet", "Eredeti", "Eredmény", "OK", "Mégsem", "Előnézet rögzítése",
    "Eredmény másolása az eredetibe", "Kontraszt", "Fényerő", "Színárnyalat",
    /*  10 */ "Telítettség", "Érték", "Alapszín", "Új szín", "Fénysűrűség", "Vörös", "Zöld", "Kék",
    "Szűrőértékek", "Előbeállítások",
    /*  20 */ "Osztó", "Betöltés", "Mentés", "Kiegyenlítés", "Küszöb", "Kiegyenlít", "Hisztogram", "Szürke",
    "Fény", "Bal",
    /*  30 */ "Felső", "Szélesség", "Magasság", "Szín", "Eredeti kép aránya", "Lencse", "Fénytörés",
    "Paraméterek előnézete", "Minőség", "DCT módszer",
    /*  40 */ "Simítási tényező", "Szürkeárnyalat", "Optimális Huffman", "Eredeti méret", "Tömörített méret",
    "Speciális", "Progresszív", "Tömörítés", "Képindex", "Fotometria",
    /*  50 */ "Beolvasott dokumentum adatai", "Név", "Leírás", "Oldal neve", "Oldalszám", "/",
    "Vízsz. pozíció (hüvelyk)", "Függ. pozíció (hüvelyk)", "Színek", "Átlátszó",
    /*  60 */ "Átlátszó szín", "Váltottsoros", "Háttér", "Vízsz. pozíció", "Függ. pozíció", "Késleltetés",
    "Szűrő", "Hullám", "Amplitúdó", "Hullámhossz",
    /*  70 */ "Fázis", "Tükröző", "Felhasználói szűrő", "Morfológiai szűrők", "Ablakméret", "Maximum", "Minimum",
    "Nyitás", "Zárás", "Forgatás",
    /*  80 */ "Tükrözés", "Vízszintes", "Függőleges", "Frekvenciatartománybeli kép",
    "Jelölje ki a tisztítandó területet", "Törlés", "Alaphelyzet", "Animálás", "Szűrő betöltése",
    "Szűrő mentése",
    /*  90 */ "Domborzattérkép", "Nyomtatás", "Margók", "hüvelyk", "Jobb", "Alsó", "Pozíció", "Méret", "Normál",
    "Oldalhoz igazítás",
    /* 100 */ "Nyújtás az oldalra", "Megadott méret", "Gammakorrekció", "Érték", "Nyomtatási beállítások",
    "Bal margó", "Felső margó", "Jobb margó", "Alsó margó", "Hely/méret",
    /* 110 */ "Bal felső", "Felső közép", "Jobb felső", "Bal közép", "Közép", "Jobb közép", "Bal alsó",
    "Alsó közép", "Jobb alsó", "Bezárás",
    /* 120 */ "Alkalmaz", "Mértékegységek", "Egységek", "Sebesség", "Minden grafika", "Video for Windows", "Fájl",
    "Memória", "Automatikusan frissíti az előnézetet a kiválasztott módosításokkal", "Összes nyomtatása",
    /* 130 */ "Kijelöltek nyomtatása", "Gyakori grafikus fájlok", "Minden fájl", "HSV", "HSL", "RGB", "FFT",
    "Élesítés", "Csatornák", "pixel",
    /* 140 */ "frames", "bit", "byte", "dpi", "KB", "Igazít"};

// clang-format on

#define RV_CHECK_ROW(row) static_assert(std::size(row) == kLocalizedWordCount)
RV_CHECK_ROW(kWordsEnglish);
RV_CHECK_ROW(kWordsItalian);
RV_CHECK_ROW(kWordsGerman);
RV_CHECK_ROW(kWordsSpanish);
RV_CHECK_ROW(kWordsFrench);
RV_CHECK_ROW(kWordsPortuguese);
RV_CHECK_ROW(kWordsGreek);
RV_CHECK_ROW(kWordsRussian);
RV_CHECK_ROW(kWordsDutch);
RV_CHECK_ROW(kWordsSwedish);
RV_CHECK_ROW(kWordsPolish);
RV_CHECK_ROW(kWordsJapanese);
RV_CHECK_ROW(kWordsCzech);
RV_CHECK_ROW(kWordsFinnish);
RV_CHECK_ROW(kWordsFarsi);
RV_CHECK_ROW(kWordsChinese);
RV_CHECK_ROW(kWordsChineseTraditional);
RV_CHECK_ROW(kWordsDanish);
RV_CHECK_ROW(kWordsTurkish);
RV_CHECK_ROW(kWordsKorean);
RV_CHECK_ROW(kWordsHungarian);
#undef RV_CHECK_ROW

// Keeps the language id of the locale; English (United States) until the start-up reads it.
uint16_t systemLanguageId = 9 | (1 << 10);

void StoreRow(TMsgLanguage language, const char* const* row) {
  for (int i = 0; i < kLocalizedWordCount; ++i)
    if (row[i]) SetLocalizedWordW(language, static_cast<uint8_t>(i), common::Utf8ToUtf16(row[i]));
}

// The bytes read in a Windows code page through iconv, as UTF-16. A byte the code page does
// not define, or a sequence cut short at the end, becomes U+FFFD and the conversion goes on
// after it, so one bad byte never costs the rest of the text.
std::u16string CodePageToUtf16(uint16_t codePage, std::string_view bytes) {
  // Code page 0 stands for the system's own code page, which is UTF-8 here.
  if (codePage == 0) return common::Utf8ToUtf16(bytes);
  const std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-16LE", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return common::Utf8ToUtf16(bytes);
  std::u16string out;
  std::string buffer(bytes.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  auto flush = [&](char* end) {
    for (const char* p = buffer.data(); p + 1 < end; p += 2)
      out.push_back(
          static_cast<char16_t>(static_cast<unsigned char>(p[0]) | (static_cast<unsigned char>(p[1]) << 8)));
  };
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    const int err = errno;
    flush(outPtr);
    if (r != static_cast<size_t>(-1)) break;
    if (err == E2BIG) continue;
    out.push_back(u'\uFFFD');
    if (err == EINVAL) break;  // a sequence cut short by the end of the text
    ++in;                      // EILSEQ: skip the byte the code page does not define
    --inLeft;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

bool ValidSlot(TMsgLanguage language, uint8_t index) {
  return language < kMsgLanguageCount && index < kLocalizedWordCount;
}

}  // namespace

void FillWordsEnglish() { StoreRow(msEnglish, kWordsEnglish); }
void FillWordsItalian() { StoreRow(msItalian, kWordsItalian); }
void FillWordsGerman() { StoreRow(msGerman, kWordsGerman); }
void FillWordsSpanish() { StoreRow(msSpanish, kWordsSpanish); }
void FillWordsFrench() { StoreRow(msFrench, kWordsFrench); }
void FillWordsPortuguese() { StoreRow(msPortuguese, kWordsPortuguese); }
void FillWordsGreek() { StoreRow(msGreek, kWordsGreek); }
void FillWordsRussian() { StoreRow(msRussian, kWordsRussian); }
void FillWordsDutch() { StoreRow(msDutch, kWordsDutch); }
void FillWordsSwedish() { StoreRow(msSwedish, kWordsSwedish); }
void FillWordsPolish() { StoreRow(msPolish, kWordsPolish); }
void FillWordsJapanese() { StoreRow(msJapanese, kWordsJapanese); }
void FillWordsCzech() { StoreRow(msCzech, kWordsCzech); }
void FillWordsFinnish() { StoreRow(msFinnish, kWordsFinnish); }
void FillWordsFarsi() { StoreRow(msFarsi, kWordsFarsi); }
void FillWordsChinese() { StoreRow(msChinese, kWordsChinese); }
void FillWordsChineseTraditional() { StoreRow(msChineseTraditional, kWordsChineseTraditional); }
void FillWordsDanish() { StoreRow(msDanish, kWordsDanish); }
void FillWordsTurkish() { StoreRow(msTurkish, kWordsTurkish); }
void FillWordsKorean() { StoreRow(msKorean, kWordsKorean); }
void FillWordsHungarian() { StoreRow(msHungarian, kWordsHungarian); }

void FillWordTables() {
  FillWordsEnglish();
  FillWordsItalian();
  FillWordsGerman();
  FillWordsSpanish();
  FillWordsFrench();
  FillWordsPortuguese();
  FillWordsGreek();
  FillWordsRussian();
  FillWordsDutch();
  FillWordsSwedish();
  FillWordsPolish();
  FillWordsJapanese();
  FillWordsCzech();
  FillWordsFinnish();
  FillWordsFarsi();
  FillWordsChinese();
  FillWordsChineseTraditional();
  FillWordsDanish();
  FillWordsTurkish();
  FillWordsKorean();
  FillWordsHungarian();
}

void SetLocalizedWord(TMsgLanguage Language, uint8_t Index, std::string_view Text) {
  if (!ValidSlot(Language, Index)) return;
  LocalizedWords[Language][Index] = CodePageToUtf16(LanguageCharInfo[Language].CodePage, Text);
}

void SetLocalizedWordW(TMsgLanguage Language, uint8_t Index, std::u16string_view Text) {
  if (!ValidSlot(Language, Index)) return;
  LocalizedWords[Language][Index] = std::u16string(Text);
}

std::u16string GetLocalizedWord(uint8_t Index, TMsgLanguage Language) {
  if (!ValidSlot(Language, Index)) return {};
  if (Language == msSystem) return LocalizedWords[LanguageIdToMsgLanguage(systemLanguageId)][Index];
  const std::u16string& word = LocalizedWords[Language][Index];
  return word.empty() ? LocalizedWords[msEnglish][Index] : word;
}

// ---- Locale ----

namespace {

constexpr uint16_t kPrimaryEnglish = 9;
constexpr uint16_t kSubDefault = 1;

constexpr uint16_t MakeLanguageId(uint16_t primary, uint16_t sub) {
  return static_cast<uint16_t>(primary | (sub << 10));
}

struct LanguageCode {
  const char* code;
  uint16_t primary;
};

// ISO 639 codes to primary language ids: the ones with a row, and Catalan.
constexpr LanguageCode kLanguageCodes[] = {
    {"ca", 3},  {"zh", 4},  {"cs", 5},  {"da", 6},  {"de", 7},  {"el", 8},  {"en", 9},
    {"es", 10}, {"fi", 11}, {"fr", 12}, {"hu", 14}, {"it", 16}, {"ja", 17}, {"ko", 18},
    {"nl", 19}, {"pl", 21}, {"pt", 22}, {"ru", 25}, {"sv", 29}, {"tr", 31}, {"fa", 41},
};

struct ChineseRegion {
  const char* territory;
  uint16_t sub;
};

// Chinese sub-language ids by territory: 1 traditional (Taiwan), 2 simplified (China), 3 Hong
// Kong, 4 Singapore, 5 Macao.
constexpr ChineseRegion kChineseRegions[] = {{"TW", 1}, {"CN", 2}, {"HK", 3}, {"SG", 4}, {"MO", 5}};

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string Upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

}  // namespace

uint16_t LocaleNameToLanguageId(std::string_view Name) {
  // language[_territory][.codeset][@modifier]
  const size_t end = Name.find_first_of(".@");
  std::string_view base = Name.substr(0, end);
  const size_t sep = base.find_first_of("_-");
  const std::string language = Lower(base.substr(0, sep));
  const std::string territory = sep == std::string_view::npos ? std::string() : Upper(base.substr(sep + 1));
  if (language.empty() || language == "c" || language == "posix")
    return MakeLanguageId(kPrimaryEnglish, kSubDefault);
  for (const LanguageCode& lc : kLanguageCodes) {
    if (language != lc.code) continue;
    if (lc.primary != 4) return MakeLanguageId(lc.primary, kSubDefault);
    for (const ChineseRegion& region : kChineseRegions)
      if (territory == region.territory) return MakeLanguageId(4, region.sub);
    return MakeLanguageId(4, 0);
  }
  return 0;  // a language without a row: neutral
}

TMsgLanguage LanguageIdToMsgLanguage(uint16_t LanguageId) {
  const uint16_t primary = LanguageId & 0x3FF;
  const uint16_t sub = LanguageId >> 10;
  switch (primary) {
    case 4:
      return sub == 1 ? msChineseTraditional : sub == 2 ? msChinese : msEnglish;
    case 5:
      return msCzech;
    case 6:
      return msDanish;
    case 7:
      return msGerman;
    case 8:
      return msGreek;
    case 9:
      return msEnglish;
    case 10:
      return msSpanish;
    case 11:
      return msFinnish;
    case 12:
      return msFrench;
    case 14:
      return msHungarian;
    case 16:
      return msItalian;
    case 17:
      return msJapanese;
    case 18:
      return msKorean;
    case 19:
      return msDutch;
    case 21:
      return msPolish;
    case 22:
      return msPortuguese;
    case 25:
      return msRussian;
    case 29:
      return msSwedish;
    case 31:
      return msTurkish;
    case 41:
      return msFarsi;
    default:
      return msEnglish;
  }
}

void ReadSystemLocale() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) {
      name = value;
      break;
    }
  }
  systemLanguageId = LocaleNameToLanguageId(name ? name : "");
}

uint16_t SystemLanguageId() { return systemLanguageId; }

}  // namespace rv
