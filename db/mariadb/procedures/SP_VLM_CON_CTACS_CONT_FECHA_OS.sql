-- params: Solicit_Embarque_Container_ID
-- The transport bills (CTAC, CT-e) of a container request, the oldest first:
-- the closing records one set of tracking events per bill. Customs
-- declarations and invoices of the line are not bills and are left out.
CREATE PROCEDURE SP_VLM_CON_CTACS_CONT_FECHA_OS(IN p_Solicit_Embarque_Container_ID INT)
  READS SQL DATA
BEGIN
  SELECT d.DOCTO_TRANSPORTE_ID AS DOCTO_TRANSPORTE_ID
    FROM DOCTO_TRANSPORTE d
    JOIN TAB_TIPO_DOCTO td ON td.TAB_TIPO_DOCTO_ID = d.TAB_TIPO_DOCTO_ID
   WHERE d.SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID
     AND td.FLAG_CONHECIMENTO = 'S'
   ORDER BY d.DOCTO_TRANSPORTE_ID;
END
